#include "ui/Unit3.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

TCalibrationOverlayForm::TCalibrationOverlayForm(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("CalibrationOverlayForm"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    // Only the circle and the number show; the rest of the window is see-through.
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(110, 110);
    setModal(true);

    QPixmap circle(100, 100);
    circle.fill(Qt::transparent);
    {
        QPainter p(&circle);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(233, 22, 22), 6));
        p.setBrush(QColor(255, 255, 255, 230));
        p.drawEllipse(QRectF(4, 4, 92, 92));
    }
    ImageCircle = new QLabel(this);
    ImageCircle->setObjectName(QStringLiteral("ImageCircle"));
    ImageCircle->setPixmap(circle);
    ImageCircle->setGeometry(5, 5, 100, 100);

    LabelTimer = new QLabel(QStringLiteral("15"), this);
    LabelTimer->setObjectName(QStringLiteral("LabelTimer"));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(27);
    font.setBold(true);
    LabelTimer->setFont(font);
    LabelTimer->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0); background: transparent;"));
    LabelTimer->setAlignment(Qt::AlignCenter);
    LabelTimer->setGeometry(0, 0, 110, 110);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TCalibrationOverlayForm::tick);
}

void TCalibrationOverlayForm::countDown(int seconds, int tickMs)
{
    counter_ = seconds;
    LabelTimer->setText(QString::number(seconds));
    if (QWidget *owner = parentWidget())
        move(owner->geometry().center() - rect().center());
    Timer1->setInterval(tickMs);
    Timer1->start();
    exec();
}

void TCalibrationOverlayForm::tick()
{
    --counter_;
    if (counter_ <= 0) {
        Timer1->stop();
        accept();
        return;
    }
    LabelTimer->setText(QString::number(counter_));
}
