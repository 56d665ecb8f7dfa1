// Uses of the demo texts; some are wrong on purpose. "demo.error.inComment" is only a comment.
#include "Demo/DemoStrings.h"

namespace {
const QString known = QStringLiteral("demo.error.known");
const QString action = QStringLiteral("demo.copyPath"); // an identifier: no key family "demo"
const QString url = QStringLiteral("https://example.com/demo.error.x"); /* "demo.error.inBlock" */
const QString handedOn = QStringLiteral("demo.error.handedOn");
const char quote = '"';
} // namespace

QString texts(const QString& raw)
{
    return DemoStrings::string(QStringLiteral("demo.error.absent"))
        + DemoStrings::string(QStringLiteral("demo.kind.") + raw)
        + DemoStrings::string(QStringLiteral("demo.state.") + raw)
        + DemoStrings::string(u"demo.menu.open"_s) + ModuleStrings::lookup(QStringLiteral("Demo"), QStringLiteral("demo.menu.title"))
        + QStringLiteral("demo.%1.open").arg(raw) + R"(demo.error.raw")";
}
