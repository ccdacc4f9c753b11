// Layout files: a window built from the input with every widget the program registers. The
// input is the layout "fuzz", so an include of "layout:fuzz" includes the input again.
#include <QCoreApplication>
#include <QEvent>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "qt_fuzz_app.h"
#include "toolkit/sapp.h"
#include "toolkit/shostwnd.h"
#include "widgets/register_widgets.h"

namespace {

class InputProvider : public kb::ui::IResProvider {
public:
    bool HasResource(const QString& type, const QString& name) const override {
        return type.compare(QLatin1String("layout"), Qt::CaseInsensitive) == 0 &&
               name.compare(QLatin1String("fuzz"), Qt::CaseInsensitive) == 0;
    }
    QByteArray LoadData(const QString& type, const QString& name) const override {
        return HasResource(type, name) ? input : QByteArray();
    }
    QByteArray input;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kb::fuzz::QtApp();
    static kb::ui::SApplication* const app = new kb::ui::SApplication();
    static const std::shared_ptr<InputProvider> provider = [] {
        auto p = std::make_shared<InputProvider>();
        app->AddResProvider(p, QString());
        kb::ui::RegisterProgramWidgets(*app);
        return p;
    }();
    provider->input = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    {
        kb::ui::SHostWnd host(QStringLiteral("layout:fuzz"));
        (void)host.CreateHost();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
