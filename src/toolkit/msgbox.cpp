#include "toolkit/msgbox.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <array>

#include "toolkit/sapp.h"
#include "toolkit/shostwnd.h"
#include "toolkit/swidgets.h"
#include "toolkit/swnd.h"

namespace kb::ui {

namespace {

// Long texts wrap at this width rather than stretching the box across the screen.
constexpr int kMaxTextWidth = 460;

// States of the icon skin: information, question, warning, error.
constexpr int kIconInformation = 0;
constexpr int kIconQuestion = 1;
constexpr int kIconWarning = 2;

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

void ScheduleHook(QWidget* box) {
    if (!Hook()) {
        return;
    }
    // Runs from inside the box's own event loop, once it is up.
    QTimer::singleShot(0, box, [box] {
        if (Hook()) {
            Hook()(box);
        }
    });
}

QString Tr(const QString& context, const QString& source) {
    const SApplication* app = SApplication::Instance();
    return app ? app->Tr(context, source) : source;
}

// A widget's rectangle relative to its parent's client area, as the layout gives it.
QRect RectInParent(const SWindow* w) {
    const SWindow* parent = w->GetParentWnd();
    const QMargins margin = parent ? parent->GetMargin() : QMargins();
    return w->geometry().translated(-margin.left(), -margin.top());
}

// Widens a container by dw; its children that sit on the right follow the right edge and its
// full-width children stretch with it.
void Widen(SWindow* w, int dw) {
    if (dw == 0) {
        return;
    }
    const int oldWidth = w->GetClientRectLocal().width();
    QRect r = RectInParent(w);
    r.setWidth(r.width() + dw);
    w->Move(r);
    for (SWindow* child : w->GetChildWindows()) {
        const QRect c = RectInParent(child);
        if (c.width() * 10 >= oldWidth * 6) {
            Widen(child, dw);
        } else if (c.center().x() > oldWidth / 2) {
            child->Move(c.translated(dw, 0));
        }
    }
}

void PlaceOver(QWidget* box, QWidget* owner) {
    QRect area;
    if (owner && owner->window()->isVisible()) {
        area = owner->window()->frameGeometry();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    if (area.isValid()) {
        box->move(area.center() - QPoint(box->width() / 2, box->height() / 2));
    }
}

class SMsgBoxDialog : public SHostDialog {
public:
    SMsgBoxDialog(bool okCancel, bool information)
        : SHostDialog(QLatin1String(kMsgBoxLayout)),
          okCancel_(okCancel),
          information_(information) {}

    // Fills the layout's controls; false when the layout lacks what the box needs.
    bool Setup(const QString& text, const QString& caption) {
        SWindow* root = GetRoot();
        SWindow* textWnd = FindChildByName(QStringLiteral("msgtext"));
        buttons_ = {FindChildByName(QStringLiteral("button1st")),
                    FindChildByName(QStringLiteral("button2nd")),
                    FindChildByName(QStringLiteral("button3rd"))};
        if (!root || !textWnd || !buttons_[0] || (okCancel_ && !buttons_[1])) {
            return false;
        }
        if (root->TrContext().isEmpty()) {
            root->SetTrContext(QLatin1String(kMsgBoxContext));
        }
        if (SWindow* title = FindChildByName(QStringLiteral("msgtitle"))) {
            title->SetText(caption, true);
        }
        setWindowTitle(Tr(root->TrContext(), caption));
        // A question asks for a choice; a lone OK acknowledges a problem.
        if (auto* icon = dynamic_cast<SImageWnd*>(FindChildByName(QStringLiteral("msgicon")))) {
            icon->SetIcon(okCancel_      ? kIconQuestion
                          : information_ ? kIconInformation
                                         : kIconWarning);
        }
        textWnd->SetAttribute(QStringLiteral("multiLines"), QStringLiteral("1"));
        textWnd->SetText(text, true);

        SetupButton(buttons_[0], kIdOk, QStringLiteral("OK"));
        if (okCancel_) {
            SetupButton(buttons_[1], kIdCancel, QStringLiteral("Cancel"));
        } else if (buttons_[1]) {
            // A lone OK takes the place of the last button.
            if (buttons_[1]->GetParentWnd() == buttons_[0]->GetParentWnd()) {
                buttons_[0]->Move(RectInParent(buttons_[1]));
            }
            buttons_[1]->SetVisible(false);
        }
        if (buttons_[2]) {
            buttons_[2]->SetVisible(false);
        }
        // The switch control may be the bar that holds the buttons; hide it only otherwise.
        if (SWindow* sw = FindChildByName(QStringLiteral("btnSwitch"))) {
            if (!sw->isAncestorOf(buttons_[0])) {
                sw->SetVisible(false);
            }
        }
        FitText(textWnd);
        return true;
    }

protected:
    bool OnEvent(EventArgs& evt) override {
        if (evt.kind != kEvtCommand) {
            return false;
        }
        for (SWindow* button : buttons_) {
            if (button && evt.sender == button && button->IsVisible()) {
                EndDialog(static_cast<int>(button->GetUserData()));
                evt.handled = true;
                return true;
            }
        }
        return false;
    }

    bool OnHostMessage(unsigned msg, qintptr /*wParam*/, qintptr /*lParam*/,
                       qintptr& result) override {
        // Closing a box that only offers OK answers OK.
        if (msg == kWmClose && !okCancel_) {
            EndDialog(kIdOk);
            result = 0;
            return true;
        }
        return false;
    }

    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
            case Qt::Key_Escape:
                SendHostMessage(kWmClose);
                return;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                EndDialog(kIdOk);
                return;
            default:
                SHostDialog::keyPressEvent(event);
        }
    }

private:
    static void SetupButton(SWindow* button, int id, const QString& defaultText) {
        button->SetUserData(id);
        button->SetVisible(true);
        if (button->GetText(true).isEmpty()) {
            button->SetText(defaultText, true);
        }
    }

    // Grows the text control to hold the text, and the box with it: what lies below moves down,
    // what sits on the right moves right, what spans the box stretches; images keep their size.
    void FitText(SWindow* textWnd) {
        const QString text = textWnd->GetText();
        const QRect client = textWnd->GetClientRectLocal();
        const int wrapWidth = std::max(client.width(), kMaxTextWidth);
        const QRect needed = QFontMetrics(textWnd->font())
                                 .boundingRect(QRect(0, 0, wrapWidth, 1 << 20),
                                               int(Qt::TextWordWrap | textWnd->TextAlign()), text);
        const int dw = std::max(0, needed.width() - client.width());
        const int dh = std::max(0, needed.height() - client.height());
        if (dw == 0 && dh == 0) {
            return;
        }
        SWindow* root = GetRoot();
        for (SWindow* child = textWnd; child && child != root;) {
            SWindow* parent = child->GetParentWnd();
            if (!parent) {
                break;
            }
            const QRect c = RectInParent(child);
            const int parentWidth = parent->GetClientRectLocal().width();
            for (SWindow* sibling : parent->GetChildWindows()) {
                if (sibling == child) {
                    continue;
                }
                QRect r = RectInParent(sibling);
                // An image beside the text (the icon) keeps its shape.
                const bool image = dynamic_cast<SImageWnd*>(sibling) != nullptr;
                if (r.top() > c.bottom()) {
                    r.translate(0, dh);
                } else if (!image && r.top() <= c.top() && r.bottom() >= c.bottom()) {
                    r.setHeight(r.height() + dh);
                }
                sibling->Move(r);
                if (r.left() > c.right() ||
                    (r.width() * 10 < parentWidth * 6 && r.center().x() > parentWidth / 2)) {
                    sibling->Move(r.translated(dw, 0));
                } else if (r.width() * 10 >= parentWidth * 6) {
                    Widen(sibling, dw);
                }
            }
            child->Move(c.adjusted(0, 0, dw, dh));
            child = parent;
        }
        resize(width() + dw, height() + dh);
    }

    bool okCancel_;
    bool information_;
    std::array<SWindow*, 3> buttons_{};
};

int RunFallback(QWidget* owner, const QString& text, const QString& caption, bool okCancel) {
    const QString context = QLatin1String(kMsgBoxContext);
    QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::NoIcon, Tr(context, caption), Tr(context, text),
                        okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, owner);
    box->button(QMessageBox::Ok)->setText(Tr(context, QStringLiteral("OK")));
    if (okCancel) {
        box->button(QMessageBox::Cancel)->setText(Tr(context, QStringLiteral("Cancel")));
    }
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(okCancel ? QMessageBox::Cancel : QMessageBox::Ok);
    ScheduleHook(box);
    const int answer = box->exec();
    delete box.data();
    if (answer == QMessageBox::Ok || !okCancel) {
        return kIdOk;
    }
    return kIdCancel;
}

}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    Hook() = std::move(hook);
}

int SMessageBox(QWidget* owner, const QString& text, const QString& caption, int type) {
    const bool okCancel = type == kMbOkCancel;
    const SApplication* app = SApplication::Instance();
    if (app && app->HasResource(QLatin1String(kMsgBoxLayout))) {
        // On the heap: the owner is the box's parent and may take it down while it runs.
        QPointer<SMsgBoxDialog> box = new SMsgBoxDialog(okCancel, type == kMbOkInformation);
        if (box->CreateHost(owner) && box->Setup(text, caption)) {
            PlaceOver(box, owner);
            // Enter and Escape answer the box, so it takes the keyboard once it is up.
            box->setFocusPolicy(Qt::StrongFocus);
            QTimer::singleShot(0, box, [box] {
                if (box) {
                    box->activateWindow();
                    box->setFocus();
                }
            });
            ScheduleHook(box);
            const int answer = box->Run(owner);
            delete box.data();
            // A box that went away unanswered never confirms anything.
            if (answer != kIdOk && answer != kIdCancel) {
                return okCancel ? kIdCancel : kIdOk;
            }
            return answer;
        }
        delete box.data();
    }
    return RunFallback(owner, text, caption, okCancel);
}

}  // namespace kb::ui
