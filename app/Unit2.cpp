#include "app/Unit2.h"

#include <QProgressBar>
#include <QVBoxLayout>

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
