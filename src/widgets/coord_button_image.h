#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>
#include <cstdint>
#include <vector>

#include "toolkit/swnd.h"

namespace pugi {
class xml_node;
}

namespace kb::ui {

// One key of the keyboard picture, as read from the key coordinate file.
struct CoordKey {
    int id = -1;
    QString name;
    int check = 0;
    int hover = 0;
    int pressed = 0;
    int left = 0;  // right and bottom are exclusive
    int top = 0;
    int right = 0;
    int bottom = 0;
    std::uint32_t color = 0xFFFFFFFFu;  // byte 0 red, 1 green, 2 blue, 3 alpha
    QColor kind;                        // the colour of what the key does; invalid: no mark
    QString detail;                     // what the key does, under its name in the tooltip
    QString title;                      // the key's display name; empty: name
    QString legend;                     // the cap's printed legend; empty: title or name
    QString label;                      // what the key does, drawn on its cap; empty: none

    bool Contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
    // A null rectangle for a key without area (whose exclusive edges may sit at INT_MIN).
    QRect Rect() const {
        return right > left && bottom > top
                   ? QRect(QPoint(left, top), QPoint(right - 1, bottom - 1))
                   : QRect();
    }
    QColor Color() const;
};

// Gets the key buttons' presses (event 0) and releases (event 1).
class ICoordButtonClickListener {
public:
    virtual ~ICoordButtonClickListener() = default;
    // flags: mouse key-state flags (MK_LBUTTON 1, MK_RBUTTON 2, MK_SHIFT 4, MK_CONTROL 8,
    // MK_MBUTTON 0x10); x, y relative to the client rectangle. After a press, non-zero keeps the
    // selection rule from running.
    virtual int OnCoordButtonClick(int id, QString name, int event, unsigned flags, int x,
                                   int y) = 0;
};

// The key coordinate file: root "positions", one child element per key.
// An empty list when the document has no "positions" root.
std::vector<CoordKey> ParseKeyCoordinates(const pugi::xml_node& document);
// Reads the file; an empty list when it is missing or malformed.
std::vector<CoordKey> LoadKeyCoordinates(const QString& path);
// programFolder + "/" + value; no separator is added when value starts with "\" or "/".
// Backslashes become slashes.
QString KeyCoordinatePath(const QString& programFolder, const QString& value);

// "cbimg": the keyboard picture whose keys are buttons.
// Attributes: bg, chking, chked (image references), crdxml (key coordinate file relative to the
// program folder, read once at creation), type (1 exclusive check, 2 toggle check, else none).
class CoordButtonImage : public SWindow {
    KB_UI_CLASS(CoordButtonImage, SWindow, "cbimg")
public:
    static constexpr int kAllKeys = 0x7FFFFFFF;
    static constexpr int kEventPress = 0;
    static constexpr int kEventRelease = 1;

    explicit CoordButtonImage(QWidget* parent = nullptr);
    ~CoordButtonImage() override;

    bool SetAttribute(const QString& name, const QString& value, bool loading = false) override;
    void OnCreated() override;

    void SetListener(ICoordButtonClickListener* listener) { listener_ = listener; }
    int HasKey(int id) const;
    std::vector<CoordKey> GetKeys() const { return keys_; }
    int GetCheck(int id) const;
    using SWindow::SetCheck;
    void SetCheck(int id, int value);
    void ToggleCheck(int id);
    void SetKeyColor(int id, std::uint32_t color);
    // Marks a key with the colour of its kind of assignment and says what it does in its
    // tooltip; an invalid colour and an empty text take both away. kAllKeys for every key.
    void SetKeyDetail(int id, const QColor& kind, const QString& detail);
    // What the program calls the key (the tooltip's first line; the coordinate file's name
    // stays what the listener gets) and the legend printed on its cap.
    void SetKeyTitle(int id, const QString& title, const QString& legend);
    // A short text of what the key does, drawn on its cap in the colour of its kind under a
    // smaller copy of its legend; empty takes it away. kAllKeys for every key.
    void SetKeyLabel(int id, const QString& label);

    int SelectionType() const { return type_; }
    // The key the keyboard focus is on, -1 before the picture had the focus.
    int FocusKeyId() const {
        return focusKey_ >= 0 && focusKey_ < static_cast<int>(keys_.size())
                   ? keys_[static_cast<size_t>(focusKey_)].id
                   : -1;
    }
    const QString& CoordFile() const { return crdxml_; }
    // Overrides where the key coordinate file is looked for (the program folder by default).
    static void SetProgramFolderOverride(const QString& folder);

protected:
    void OnPaint(QPainter& painter) override;
    void OnLButtonDown(QMouseEvent& event) override;
    void OnLButtonUp(QMouseEvent& event) override;
    void OnMouseMove(QMouseEvent& event) override;
    void OnMouseHover() override {}
    void OnMouseLeave() override;
    // One Tab stop: the arrows move between the keys by where they sit, Enter and Space
    // choose the key as a click does; the key with the focus is ringed and named.
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void PressKey(size_t index, unsigned flags, QPoint pt);
    void ReleaseKey(size_t index, unsigned flags, QPoint pt);
    int FirstKeyInReadingOrder() const;
    // The nearest key from key `from` in the direction (dx, dy); -1 when there is none.
    int NeighbourOf(int from, int dx, int dy) const;
    void MoveFocusKey(int index);
    void ActivateFocusKey();
    // Index of the first key holding the point (client coordinates), -1 when none.
    int HitFirst(int x, int y) const;
    int FirstWithId(int id) const;
    QPoint ToClient(const QMouseEvent& event) const;
    void DrawMarked(QPainter& painter, const QPixmap& image, bool hover) const;
    void DrawKinds(QPainter& painter) const;
    void DrawLabel(QPainter& painter, const CoordKey& key) const;
    // Applies change to the first key with id, or to every key for kAllKeys.
    template <class Change>
    void ForKeys(int id, Change&& change);
    QString TipOf(const CoordKey& key) const;

    // A picture decoded when it is first drawn: the window maps without waiting for the
    // keyboard picture, and the hover and mark art, each as large, waits until the pointer or a
    // selection reaches a key.
    struct DeferredPixmap {
        QString source;  // still to decode; empty once tried
        QPixmap pixmap;  // the last picture that decoded
        const QPixmap& Get();
    };

    std::vector<CoordKey> keys_;
    DeferredPixmap bg_;
    DeferredPixmap hoverImage_;
    DeferredPixmap checkImage_;
    QString crdxml_;
    int type_ = 0;
    ICoordButtonClickListener* listener_ = nullptr;
    int focusKey_ = -1;               // index of the key the arrows move from
    bool focusFromKeyboard_ = false;  // the focused key is ringed only for the keyboard
};

}  // namespace kb::ui
