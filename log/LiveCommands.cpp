#include "log/LiveCommands.h"

#include "link/MessageSink.h"
#include "table/Table_iat_ect_corr.h"

bool runStartCommand(const TStartCommand &command, Log &log, Table &table, TWindowState &w,
                     TZiravBroadcaster &broadcaster, const std::function<void()> &resetTrackers)
{
    if (!command.portSelected) {
        showMessage(QString::fromUtf8("Please choose right COM port\n\n Пожалуйста выберите правильный COM порт"));
        return false;
    }
    if (resetTrackers)
        resetTrackers();
    table.recordingStarted(w);
    log.setCorrectionValue(w.correction);
    log.setStartSettings(command.settings);
    TMsgStartLiveData start(command.sensorType);
    broadcaster.broadcast(start);
    return true;
}

TStopOutcome releaseAutocorrectionForStop(Log &log, TWindowState &w)
{
    TStopOutcome out;
    if (w.autocorrDown) {
        w.autocorrDown = false;
        w.autocorrReleased = true;
        log.setAutocorrection(false, log.settings().wotSmoothing);
        w.correction = 0;
        log.setCorrectionValue(0);
        out.autocorrReleased = true;
        out.lockLogLimit = true;
    }
    return out;
}

TStopOutcome runStopCommand(Log &log, TWindowState &w, TZiravBroadcaster &broadcaster)
{
    const TStopOutcome out = releaseAutocorrectionForStop(log, w);
    TMsgStopLiveData stop;
    broadcaster.broadcast(stop);
    return out;
}
