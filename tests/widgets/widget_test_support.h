#pragma once

#include <QColor>
#include <QImage>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "toolkit/sapp.h"

class QWidget;

namespace kb::ui::test {

// A QApplication on the offscreen platform, created once.
void EnsureApp();

// A resource folder in a temporary directory: images drawn here, XML given as text. Start()
// writes uires.idx and attaches the folder (and its UI definition) to a fresh SApplication with
// the program's widgets registered.
class TestResources {
public:
    TestResources();
    ~TestResources();

    // An image of `states` solid blocks of size w x h side by side, block k in colors[k].
    void AddStrip(const QString& typeAndName, const std::vector<QColor>& colors, int w, int h);
    void AddImage(const QString& typeAndName, const QImage& image);
    // The "@2x" sibling of an image added before.
    void AddImage2x(const QString& typeAndName, const QImage& image);
    void AddXml(const QString& typeAndName, const QByteArray& xml);
    // A skin table entry over an image added with AddStrip.
    void AddSkin(const QString& name, const QString& image, int states);
    void Start();

    SApplication& App() { return *app_; }
    QString Folder() const { return dir_.path(); }

private:
    QString FileFor(const QString& typeAndName, const char* ext);
    QTemporaryDir dir_;
    QMap<QString, QMap<QString, QString>> index_;  // type -> name -> path
    QByteArray skins_;
    std::unique_ptr<SApplication> app_;
};

// The widget as drawn on screen.
QImage Render(QWidget& widget);

// Solid colours that tell skin states apart.
QColor StateColor(int group, int state);

}  // namespace kb::ui::test
