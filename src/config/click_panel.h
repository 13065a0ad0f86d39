#pragma once
// A plain panel that reports a mouse click on itself (not on the controls it
// holds) together with the modifier keys held at the time: the dialogs hide
// a gesture or two behind Ctrl or Shift+Ctrl clicks on their panels.
#include <QFrame>
#include <QMouseEvent>

namespace kx9 {

class ClickPanel : public QFrame {
    Q_OBJECT
public:
    explicit ClickPanel(QWidget *parent = nullptr) : QFrame(parent) { setFrameShape(QFrame::StyledPanel); }

signals:
    void clicked(Qt::KeyboardModifiers modifiers);

protected:
    void mousePressEvent(QMouseEvent *e) override
    {
        pressed_ = e->button() == Qt::LeftButton;
        e->accept();
    }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        // A click is a press and a release on the panel, as a button has it.
        const bool click = pressed_ && rect().contains(e->position().toPoint());
        pressed_ = false;
        e->accept();
        if (click)
            emit clicked(e->modifiers());
    }

private:
    bool pressed_ = false;
};

} // namespace kx9
