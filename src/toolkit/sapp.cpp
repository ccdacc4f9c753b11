#include "toolkit/sapp.h"

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPalette>
#include <QScreen>
#include <QToolTip>
#include <algorithm>
#include <pugixml.hpp>

#include "toolkit/attribute_value.h"
#include "toolkit/shostwnd.h"
#include "toolkit/slistview.h"
#include "toolkit/stabctrl.h"
#include "toolkit/swidgets.h"
#include "toolkit/swnd.h"
#include "toolkit/theme.h"
#include "toolkit/translator.h"

namespace kb::ui {

namespace {

SApplication* g_app = nullptr;

QString Key(const QString& type, const QString& name) {
    return type.toLower() + QLatin1Char(':') + name.toLower();
}

bool LessNoCase(const QString& a, const QString& b) {
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

QString Attr(const pugi::xml_node& node, const char* name) {
    return QString::fromUtf8(node.attribute(name).as_string());
}

// Decodes with the decoder the file's suffix names. Left to guess, Qt asks every image
// plug-in whether it reads the bytes, which loads each of them (and the SVG module) at start.
// Bytes that are not what their suffix says are still read by their content.
QPixmap DecodePixmap(QIODevice& device, const QString& suffix) {
    if (!device.open(QIODevice::ReadOnly)) {
        return {};
    }
    QImageReader reader(&device, suffix.toLower().toLatin1());
    reader.setAutoDetectImageFormat(suffix.isEmpty());
    QImage image = reader.read();
    if (image.isNull() && !suffix.isEmpty() && device.seek(0)) {
        QImageReader guessing(&device);
        image = guessing.read();
    }
    return image.isNull() ? QPixmap() : QPixmap::fromImage(std::move(image));
}

}  // namespace

// ---- folder provider ----------------------------------------------------------------------

bool SResProviderFiles::Init(const QString& folder) {
    folder_ = folder;
    files_.clear();
    QFile index(QDir(folder).filePath(QStringLiteral("uires.idx")));
    if (!index.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = index.readAll();
    pugi::xml_document doc;
    if (!doc.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size()))) {
        return false;
    }
    const pugi::xml_node root = doc.child("resource");
    if (!root) {
        return false;
    }
    for (const pugi::xml_node& typeNode : root.children()) {
        if (typeNode.type() != pugi::node_element) {
            continue;
        }
        const QString type = QString::fromUtf8(typeNode.name());
        if (type.size() > kMaxTypeLength) {
            continue;
        }
        for (const pugi::xml_node& file : typeNode.children("file")) {
            const QString name = Attr(file, "name");
            const QString path = Attr(file, "path");
            if (name.isEmpty() || name.size() > kMaxNameLength || path.isEmpty()) {
                continue;
            }
            files_.emplace(Key(type, name), path);  // the first declaration wins
        }
    }
    return true;
}

bool SResProviderFiles::HasResource(const QString& type, const QString& name) const {
    return files_.count(Key(type, name)) != 0;
}

QString SResProviderFiles::FilePath(const QString& type, const QString& name) const {
    const auto it = files_.find(Key(type, name));
    return it == files_.end() ? QString() : QDir(folder_).filePath(it->second);
}

QByteArray SResProviderFiles::LoadData(const QString& type, const QString& name) const {
    const QString path = FilePath(type, name);
    if (path.isEmpty()) {
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

// ---- application --------------------------------------------------------------------------

SApplication::SApplication() {
    g_app = this;
    // Plain containers let clicks through to what lies under them (list rows, captions).
    RegisterWidget(QLatin1String(SWindow::kClassTag), QString(), [](QWidget* parent) -> SWindow* {
        auto* w = new SWindow(parent);
        w->SetClickThrough(true);
        return w;
    });
    RegisterWidget<SCaption>();
    RegisterWidget<SStatic>();
    RegisterWidget<SLink>();
    RegisterWidget<SImageWnd>();
    RegisterWidget<SButton>();
    RegisterWidget<SImageButton>();
    RegisterWidget<SEdit>();
    RegisterWidget<SCheckBox>();
    RegisterWidget<SRadioBox>();
    RegisterWidget<SComboBox>();
    RegisterWidget<SSliderBar>();
    RegisterWidget<SListView>();
    RegisterWidget<SMcListView>();
    RegisterWidget<STabCtrl>();
    RegisterWidget<STabPage>();
}

SApplication::~SApplication() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

SApplication* SApplication::Instance() {
    return g_app;
}

void SApplication::AddResProvider(std::shared_ptr<IResProvider> provider, const QString& uidef) {
    if (!provider) {
        return;
    }
    providers_.push_back(std::move(provider));  // searched from the back: newest first
    if (!uidef.isEmpty()) {
        LoadUiDef(uidef);
    }
}

void SApplication::RemoveResProvider(const IResProvider* provider) {
    std::erase_if(providers_, [provider](const auto& p) { return p.get() == provider; });
}

bool SApplication::SplitResName(const QString& typeAndName, QString& type, QString& name) {
    const qsizetype colon = typeAndName.indexOf(QLatin1Char(':'));
    if (colon <= 0 || colon + 1 >= typeAndName.size()) {
        return false;
    }
    type = typeAndName.left(colon);
    name = typeAndName.mid(colon + 1);
    return type.size() <= SResProviderFiles::kMaxTypeLength &&
           name.size() <= SResProviderFiles::kMaxNameLength;
}

bool SApplication::HasResource(const QString& typeAndName) const {
    QString type;
    QString name;
    if (!SplitResName(typeAndName, type, name)) {
        return false;
    }
    return std::any_of(providers_.rbegin(), providers_.rend(),
                       [&](const auto& p) { return p->HasResource(type, name); });
}

QByteArray SApplication::LoadRawData(const QString& typeAndName) const {
    QString type;
    QString name;
    if (!SplitResName(typeAndName, type, name)) {
        return {};
    }
    for (auto it = providers_.rbegin(); it != providers_.rend(); ++it) {
        if ((*it)->HasResource(type, name)) {
            return (*it)->LoadData(type, name);
        }
    }
    return {};
}

bool SApplication::LoadXml(pugi::xml_document& doc, const QString& typeAndName) const {
    doc.reset();
    const QByteArray bytes = LoadRawData(typeAndName);
    if (bytes.isEmpty()) {
        return false;
    }
    return static_cast<bool>(doc.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size())));
}

bool SApplication::LoadXml(pugi::xml_document& doc, const QString& type,
                           const QString& name) const {
    return LoadXml(doc, type + QLatin1Char(':') + name);
}

QPixmap SApplication::LoadPixmap(const QString& typeAndName) const {
    QString type;
    QString name;
    if (!SplitResName(typeAndName, type, name)) {
        return {};
    }
    for (auto it = providers_.rbegin(); it != providers_.rend(); ++it) {
        const auto& p = *it;
        if (!p->HasResource(type, name)) {
            continue;
        }
        // Prefer a sibling file "stem@2x.ext" on high-density screens.
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QString path = p->FilePath(type, name);
        if (screen && screen->devicePixelRatio() >= 1.5 && !path.isEmpty()) {
            const QFileInfo info(path);
            const QString hiRes = info.dir().filePath(info.completeBaseName() +
                                                      QStringLiteral("@2x.") + info.suffix());
            QFile file(hiRes);
            QPixmap pixmap = file.exists() ? DecodePixmap(file, info.suffix()) : QPixmap();
            if (!pixmap.isNull()) {
                pixmap.setDevicePixelRatio(2.0);
                return pixmap;
            }
        }
        QByteArray bytes = p->LoadData(type, name);
        if (bytes.isEmpty()) {
            return {};
        }
        QBuffer buffer(&bytes);
        QPixmap pixmap = DecodePixmap(buffer, QFileInfo(path).suffix());
        if (!pixmap.isNull()) {
            return pixmap;
        }
        return {};
    }
    return {};
}

// ---- value tables -------------------------------------------------------------------------

bool SApplication::LoadUiDef(const QString& typeAndName) {
    pugi::xml_document doc;
    if (!LoadXml(doc, typeAndName)) {
        return false;
    }
    const pugi::xml_node root = doc.child("uidef");
    if (!root) {
        return false;
    }
    if (const pugi::xml_node node = root.child("string")) {
        pugi::xml_document table;
        if (LoadXml(table, Attr(node, "src"))) {
            for (const pugi::xml_node& item : table.child("string").children("item")) {
                SetString(Attr(item, "name"), Attr(item, "value"));
            }
        }
    }
    if (const pugi::xml_node node = root.child("color")) {
        pugi::xml_document table;
        if (LoadXml(table, Attr(node, "src"))) {
            for (const pugi::xml_node& item : table.child("color").children("item")) {
                QColor color;
                if (ParseColor(Attr(item, "value"), color)) {
                    SetColor(Attr(item, "name"), color);
                }
            }
        }
    }
    if (const pugi::xml_node node = root.child("skin")) {
        LoadSkinTable(Attr(node, "src"));
    }
    ApplyToolTipColors();
    return true;
}

// Tooltips are the system's top-level windows: they take the dark look from the colour table
// here, not from any window's style.
void SApplication::ApplyToolTipColors() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return;
    }
    QPalette palette = QToolTip::palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::ToolTipBase, ThemeColor("popup"));
        palette.setColor(group, QPalette::ToolTipText, ThemeColor("text"));
        palette.setColor(group, QPalette::Window, ThemeColor("popup"));
        palette.setColor(group, QPalette::WindowText, ThemeColor("text"));
    }
    QToolTip::setPalette(palette);
}

bool SApplication::LoadSkinTable(const QString& typeAndName) {
    pugi::xml_document doc;
    if (!LoadXml(doc, typeAndName)) {
        return false;
    }
    for (const pugi::xml_node& item : doc.child("skin").children()) {
        const QString tag = QString::fromUtf8(item.name());
        const bool frame = tag == QLatin1String("imgframe");
        if (!frame && tag != QLatin1String("imglist")) {
            continue;
        }
        const QString name = Attr(item, "name");
        if (name.isEmpty()) {
            continue;
        }
        const QString source = Attr(item, "src");
        const int states = std::max(1, ParseIntegerAttribute(item.attribute("states").value()));
        const bool vertical = ParseIntegerAttribute(item.attribute("vertical").value()) != 0;
        QMargins margins;
        if (frame) {
            const QStringList m = Attr(item, "margin").split(QLatin1Char(','));
            if (m.size() == 4) {
                margins = QMargins(ParseIntValue(m[0]), ParseIntValue(m[1]), ParseIntValue(m[2]),
                                   ParseIntValue(m[3]));
            }
        }
        // Decoded when a widget first draws it; a skin without its image stays unknown.
        skins_.AddLazy(
            name, [this, source, states, vertical, frame, margins]() -> std::shared_ptr<ISkinObj> {
                QPixmap image = LoadPixmap(source);
                if (image.isNull()) {
                    return nullptr;
                }
                if (frame) {
                    return std::make_shared<SSkinImgFrame>(std::move(image), states, vertical,
                                                           margins);
                }
                return std::make_shared<SSkinImgList>(std::move(image), states, vertical);
            });
    }
    return true;
}

void SApplication::SetString(const QString& name, const QString& value) {
    if (name.isEmpty()) {
        return;
    }
    auto it =
        std::lower_bound(strings_.begin(), strings_.end(), name,
                         [](const auto& e, const QString& n) { return LessNoCase(e.first, n); });
    if (it != strings_.end() && it->first == name) {
        it->second = value;
    } else {
        strings_.insert(it, {name, value});
    }
}

QString SApplication::GetString(const QString& name) const {
    for (const auto& [key, value] : strings_) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return {};
}

QString SApplication::StringAt(int index) const {
    if (index < 0 || index >= StringCount()) {
        return {};
    }
    return strings_[static_cast<size_t>(index)].second;
}

QString SApplication::ResolveString(const QString& value) const {
    static const QString kPrefix = QStringLiteral("@string/");
    if (!value.startsWith(kPrefix)) {
        return value;
    }
    const QString found = GetString(value.mid(kPrefix.size()));
    return found.isNull() ? value : found;
}

void SApplication::SetColor(const QString& name, const QColor& color) {
    colors_[name.toLower()] = color;
}

bool SApplication::ParseColor(const QString& value, QColor& color) const {
    const QString v = value.trimmed();
    if (v.startsWith(QLatin1String("@color/"))) {
        const auto it = colors_.find(v.mid(7).toLower());
        if (it == colors_.end()) {
            return false;
        }
        color = it->second;
        return true;
    }
    if (!v.startsWith(QLatin1Char('#')) || (v.size() != 7 && v.size() != 9)) {
        return false;
    }
    bool ok = false;
    const uint rgb = v.mid(1).toUInt(&ok, 16);
    if (!ok) {
        return false;
    }
    auto byte = [rgb](int shift) { return static_cast<int>((rgb >> shift) & 0xFFu); };
    if (v.size() == 7) {
        color = QColor(byte(16), byte(8), byte(0));
    } else {
        color = QColor(byte(24), byte(16), byte(8), byte(0));
    }
    return true;
}

// ---- named ids ----------------------------------------------------------------------------

void SApplication::RegisterNamedIds(const std::vector<NamedId>& ids, bool sorted) {
    // Always sorted here: lookups rely on this order whatever the caller claims.
    (void)sorted;
    namedIds_.insert(namedIds_.end(), ids.begin(), ids.end());
    std::stable_sort(namedIds_.begin(), namedIds_.end(),
                     [](const NamedId& a, const NamedId& b) { return a.name < b.name; });
}

int SApplication::IdOfName(const QString& name) const {
    const auto it = std::lower_bound(namedIds_.begin(), namedIds_.end(), name,
                                     [](const NamedId& e, const QString& n) { return e.name < n; });
    return it != namedIds_.end() && it->name == name ? it->id : 0;
}

QString SApplication::NameOfId(int id) const {
    for (const NamedId& e : namedIds_) {
        if (e.id == id) {
            return e.name;
        }
    }
    return {};
}

// ---- translator ---------------------------------------------------------------------------

QString SApplication::Tr(const QString& context, const QString& source) const {
    return translator_ ? translator_->Tr(context, source) : source;
}

// ---- factories ----------------------------------------------------------------------------

bool SApplication::RegisterWidget(const QString& tag, const QString& baseTag,
                                  WidgetFactory factory) {
    if (tag.isEmpty() || !factory) {
        return false;
    }
    return factories_.emplace(tag.toLower(), Factory{baseTag.toLower(), std::move(factory)}).second;
}

bool SApplication::IsRegistered(const QString& tag) const {
    return factories_.count(tag.toLower()) != 0;
}

QString SApplication::BaseTagOf(const QString& tag) const {
    const auto it = factories_.find(tag.toLower());
    if (it == factories_.end() || it->second.baseTag == it->first) {
        return {};
    }
    return it->second.baseTag;
}

bool SApplication::TagIsA(const QString& tag, const QString& classTag) const {
    QString t = tag.toLower();
    const QString want = classTag.toLower();
    // Bounded walk: a registration loop must not hang the lookup.
    for (size_t i = 0; i <= factories_.size() && !t.isEmpty(); ++i) {
        if (t == want) {
            return true;
        }
        t = BaseTagOf(t);
    }
    return false;
}

SWindow* SApplication::CreateWidget(const QString& tag, QWidget* parent) const {
    const auto it = factories_.find(tag.toLower());
    return it == factories_.end() ? nullptr : it->second.create(parent);
}

// ---- running ------------------------------------------------------------------------------

QString SApplication::ProgramFolder() {
    QString dir = QCoreApplication::applicationDirPath();
    while (dir.size() > 1 && (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\')))) {
        dir.chop(1);
    }
    return dir;
}

int SApplication::Run(SHostWnd* mainWindow) {
    if (mainWindow) {
        mainWindow->SetMainWindow(true);
    }
    return QCoreApplication::exec();
}

}  // namespace kb::ui
