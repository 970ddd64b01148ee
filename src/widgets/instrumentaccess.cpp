#include "instrumentaccess.h"

#include "clicklabel.h"
#include "numfield.h"
#include "operatorbutton.h"
#include "readoutlabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QAbstractItemView>

namespace {

// A widget that can be acted on with one named action, besides taking the focus.
class ActionAccessible : public QAccessibleWidget
{
public:
    ActionAccessible(QWidget *w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (widget()->isEnabled() && enabled())
            names.prepend(action());
        return names;
    }
    void doAction(const QString &name) override
    {
        if (name != action())
            QAccessibleWidget::doAction(name);
        else if (widget()->isEnabled() && enabled())
            act();
    }

protected:
    virtual QString action() const = 0;
    virtual bool enabled() const { return true; }
    virtual void act() = 0;
};

class ButtonAccessible : public ActionAccessible
{
public:
    explicit ButtonAccessible(OperatorButton *b) : ActionAccessible(b, QAccessible::CheckBox) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = button()->isOperable();
        s.readOnly = !button()->isOperable();
        s.checked = button()->value();
        return s;
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? button()->stateText() : QAccessibleWidget::text(t);
    }

protected:
    QString action() const override { return toggleAction(); }
    bool enabled() const override { return button()->isOperable() && !button()->isBusy(); }
    void act() override { button()->click(); }

private:
    OperatorButton *button() const { return static_cast<OperatorButton *>(widget()); }
};

class ReadoutAccessible : public QAccessibleWidget
{
public:
    explicit ReadoutAccessible(QWidget *w) : QAccessibleWidget(w, QAccessible::StaticText) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Value)
            return QAccessibleWidget::text(t);
        if (const auto *label = qobject_cast<const ReadoutLabel *>(widget()))
            return label->readout();
        return static_cast<const NumField *>(widget())->text();
    }
};

class HeadingAccessible : public ActionAccessible
{
public:
    explicit HeadingAccessible(ClickLabel *l) : ActionAccessible(l, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override
    {
        const auto *label = static_cast<const ClickLabel *>(widget());
        if (t == QAccessible::Name && label->accessibleName().isEmpty())
            return label->text();
        return QAccessibleWidget::text(t);
    }

protected:
    QString action() const override { return pressAction(); }
    void act() override { static_cast<ClickLabel *>(widget())->press(); }
};

// A choice box named by its caption: Qt on Linux names a combo box by its
// current value ("All slots"), which says nothing of what it chooses.
class NamedChoiceAccessible : public ActionAccessible
{
public:
    explicit NamedChoiceAccessible(QComboBox *c) : ActionAccessible(c, QAccessible::ComboBox) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = box()->view()->isVisible();
        s.collapsed = !s.expanded;
        return s;
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return box()->accessibleName();
        return t == QAccessible::Value ? box()->currentText() : QAccessibleWidget::text(t);
    }

protected:
    QString action() const override { return showMenuAction(); }
    void act() override { box()->showPopup(); }

private:
    QComboBox *box() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *factory(const QString &, QObject *object)
{
    if (auto *b = qobject_cast<OperatorButton *>(object))
        return new ButtonAccessible(b);
    if (auto *f = qobject_cast<NumField *>(object); f && f->isIndicator())
        return new ReadoutAccessible(f);
    if (auto *l = qobject_cast<ReadoutLabel *>(object))
        return new ReadoutAccessible(l);
    if (auto *h = qobject_cast<ClickLabel *>(object))
        return new HeadingAccessible(h);
    if (auto *c = qobject_cast<QComboBox *>(object); c && !c->isEditable() && !c->accessibleName().isEmpty())
        return new NamedChoiceAccessible(c);
    return nullptr;
}

} // namespace

namespace InstrumentAccess {

void install()
{
    static const bool installed = (QAccessible::installFactory(factory), true); // once per run
    Q_UNUSED(installed);
}

} // namespace InstrumentAccess
