#include "ui/Widgets.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSlider>

QSlider *verticalBar(QWidget *parent, const char *objectName, int min, int max, int position)
{
    auto *bar = named(new QSlider(Qt::Vertical, parent), objectName);
    bar->setRange(min, max);
    bar->setValue(position);
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(true);
    bar->setMinimumHeight(140);
    bar->setMaximumHeight(220);
    return bar;
}

namespace {
class PurposefulChoice : public QObject {
public:
    explicit PurposefulChoice(QComboBox *list) : QObject(list), list_(list) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::Wheel && event->type() != QEvent::KeyPress)
            return false;
        if (list_->view()->isVisible())
            return false; // the open list: arrows move, Enter or a click chooses
        if (event->type() == QEvent::Wheel)
            return true;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() & Qt::AltModifier)
            return false; // Alt+Down opens the list
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            return true;
        case Qt::Key_Home:
        case Qt::Key_End:
            return !list_->isEditable(); // in a typed path they move the cursor
        default:
            // A letter picks the entry it begins in a list that is not typed into.
            return !list_->isEditable() && !key->text().isEmpty() && key->text().at(0).isPrint();
        }
    }

private:
    QComboBox *list_;
};
} // namespace

void chooseOnlyOnPurpose(QComboBox *list)
{
    auto *filter = new PurposefulChoice(list);
    list->installEventFilter(filter);
    if (list->lineEdit())
        list->lineEdit()->installEventFilter(filter);
}

QLineEdit *parameterEdit(QWidget *parent, const QString &objectName)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    // Three digits and a sign: an enrichment byte below 128 from the unit
    // shows as a negative percentage (0 shows -100), and a box that cut it
    // short would send another byte back.
    edit->setValidator(new QIntValidator(-999, 999, edit));
    edit->setMaxLength(4);
    edit->setMaximumWidth(56);
    return edit;
}

QString LineEditFields::text(int param) const
{
    return edits_.at(size_t(param))->text();
}

void LineEditFields::setText(int param, const QString &text)
{
    edits_.at(size_t(param))->setText(text);
}
