#include "widget_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QWidget>

#include "widgets/register_widgets.h"

namespace kb::ui::test {

namespace {

QApplication* g_app = nullptr;

// Ends the application after the last test, before the exit handlers tear Qt's globals down.
class AppEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        delete g_app;
        g_app = nullptr;
    }
};

[[maybe_unused]] ::testing::Environment* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

}  // namespace

void EnsureApp() {
    if (!QApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "widgets_test";
        static char* argv[] = {name, nullptr};
        g_app = new QApplication(argc, argv);
    }
}

TestResources::TestResources() {
    EnsureApp();
}

TestResources::~TestResources() = default;

QString TestResources::FileFor(const QString& typeAndName, const char* ext) {
    const QString type = typeAndName.section(QLatin1Char(':'), 0, 0);
    const QString name = typeAndName.section(QLatin1Char(':'), 1);
    const QString rel = type + QLatin1Char('_') + name + QLatin1String(ext);
    index_[type][name] = rel;
    return dir_.filePath(rel);
}

void TestResources::AddStrip(const QString& typeAndName, const std::vector<QColor>& colors, int w,
                             int h) {
    QImage image(w * static_cast<int>(colors.size()), h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    for (size_t k = 0; k < colors.size(); ++k) {
        painter.fillRect(QRect(static_cast<int>(k) * w, 0, w, h), colors[k]);
    }
    painter.end();
    AddImage(typeAndName, image);
}

void TestResources::AddImage(const QString& typeAndName, const QImage& image) {
    image.save(FileFor(typeAndName, ".png"), "PNG");
}

void TestResources::AddImage2x(const QString& typeAndName, const QImage& image) {
    const QString type = typeAndName.section(QLatin1Char(':'), 0, 0);
    const QString name = typeAndName.section(QLatin1Char(':'), 1);
    image.save(dir_.filePath(type + QLatin1Char('_') + name + QLatin1String("@2x.png")), "PNG");
}

void TestResources::AddXml(const QString& typeAndName, const QByteArray& xml) {
    QFile file(FileFor(typeAndName, ".xml"));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(xml);
    }
}

void TestResources::AddSkin(const QString& name, const QString& image, int states) {
    skins_ += QStringLiteral("<imglist name=\"%1\" src=\"%2\" states=\"%3\"/>\n")
                  .arg(name, image)
                  .arg(states)
                  .toUtf8();
}

void TestResources::Start() {
    AddXml(QStringLiteral("values:skin"), "<skin>\n" + skins_ + "</skin>\n");
    AddXml(QStringLiteral("uidef:xml_init"),
           "<uidef><string src=\"values:string\"/><skin src=\"values:skin\"/></uidef>");
    QByteArray idx = "<resource>\n";
    for (auto type = index_.cbegin(); type != index_.cend(); ++type) {
        idx += "<" + type.key().toUtf8() + ">\n";
        for (auto file = type->cbegin(); file != type->cend(); ++file) {
            idx += "<file name=\"" + file.key().toUtf8() + "\" path=\"" + file.value().toUtf8() +
                   "\"/>\n";
        }
        idx += "</" + type.key().toUtf8() + ">\n";
    }
    idx += "</resource>\n";
    QFile file(dir_.filePath(QStringLiteral("uires.idx")));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(idx);
    }
    file.close();
    app_ = std::make_unique<SApplication>();
    auto provider = std::make_shared<SResProviderFiles>();
    provider->Init(dir_.path());
    app_->AddResProvider(provider, QStringLiteral("uidef:xml_init"));
    RegisterProgramWidgets(*app_);
}

QImage Render(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

QColor StateColor(int group, int state) {
    return QColor::fromRgb((group * 53 + 40) % 256, (state * 31 + 20) % 256,
                           (group * 17 + state * 71 + 90) % 256);
}

}  // namespace kb::ui::test
