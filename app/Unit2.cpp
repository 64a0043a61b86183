#include "app/Unit2.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QVBoxLayout>

#include "link/Rxtx.h"

void keepPainting()
{
    // A frame every 15 ms is enough to look alive; more would slow the
    // byte-by-byte exchanges that call this after every byte.
    static QElapsedTimer sinceLast;
    if (sinceLast.isValid() && sinceLast.elapsed() < 15)
        return;
    sinceLast.start();
    const TRXTX::NestedEvents nested;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

TForm2::TForm2(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QString::fromUtf8("Запись/Writing"));
    setModal(true);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ProgressBar);
    resize(360, 60);
}

void TForm2::setCaption(const QString &caption)
{
    setWindowTitle(caption);
}

void TForm2::setRange(int minimum, int maximum)
{
    ProgressBar->setRange(minimum, maximum);
}

void TForm2::setPosition(int position)
{
    const int before = ProgressBar->value();
    ProgressBar->setValue(position);
    if (ProgressBar->value() != before)
        keepPainting();
}

int TForm2::position() const
{
    return ProgressBar->value();
}

void TForm2::showProgress()
{
    show();
    keepPainting();
}

void TForm2::hideProgress()
{
    hide();
    keepPainting();
}
