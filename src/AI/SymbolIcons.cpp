#include "AI/SymbolIcons.h"

#include "Platform/IconTheme.h"

#include <QHash>
#include <QIcon>
#include <QStringList>

namespace SymbolIcons {

namespace {
const QHash<QString, Entry>& table()
{
    static const QHash<QString, Entry> t{
        {"arrow.up.right.square", {{"web-browser-symbolic", "go-jump-symbolic", "go-jump"}, QStringLiteral("↗")}},
        {"equal.square", {{"accessories-calculator-symbolic", "accessories-calculator"}, QStringLiteral("=")}},
        {"coloncurrencysign.circle", {{"currency-symbolic", "emblem-money-symbolic"}, QStringLiteral("¤")}},
        {"doc.on.doc", {{"edit-copy-symbolic", "edit-copy"}, QStringLiteral("⧉")}},
        {"doc.plaintext", {{"text-x-generic-symbolic", "text-x-generic"}, QStringLiteral("T")}},
        {"character.bubble", {{"preferences-desktop-locale-symbolic", "preferences-desktop-locale"}, QStringLiteral("文")}},
        {"magnifyingglass", {{"system-search-symbolic", "edit-find-symbolic", "system-search"}, QStringLiteral("⌕")}},
        {"ellipsis", {{"view-more-horizontal-symbolic", "view-more-symbolic", "open-menu-symbolic"}, QStringLiteral("…")}},
        {"checkmark", {{"object-select-symbolic", "emblem-ok-symbolic", "emblem-default"}, QStringLiteral("✓")}},
        {"sparkles", {{"starred-symbolic", "starred"}, QStringLiteral("✦")}},
        {"exclamationmark.triangle", {{"dialog-warning-symbolic", "dialog-warning"}, QStringLiteral("⚠")}},
        {"exclamationmark.shield", {{"security-medium-symbolic", "dialog-warning-symbolic"}, QStringLiteral("!")}},
        {"lock.shield", {{"security-high-symbolic", "changes-prevent-symbolic"}, QStringLiteral("🔒")}},
        {"wrench.and.screwdriver", {{"applications-engineering-symbolic", "preferences-system-symbolic"}, QStringLiteral("🔧")}},
        {"terminal", {{"utilities-terminal-symbolic", "utilities-terminal"}, QStringLiteral(">_")}},
        {"wand.and.sparkles", {{"tools-check-spelling-symbolic", "starred-symbolic"}, QStringLiteral("✦")}},
        {"text.append", {{"format-justify-left-symbolic", "view-list-symbolic"}, QStringLiteral("≡")}},
        {"questionmark.circle", {{"help-faq-symbolic", "dialog-question-symbolic", "help-browser-symbolic", "help-faq"}, QStringLiteral("?")}},
        {"text.cursor", {{"document-edit-symbolic", "edit-rename"}, QStringLiteral("I")}},
        {"list.bullet", {{"view-list-symbolic"}, QStringLiteral("≡")}},
        {"doc.text.magnifyingglass", {{"edit-find-symbolic", "system-search-symbolic"}, QStringLiteral("⌕")}},
        {"globe", {{"web-browser-symbolic", "network-workgroup-symbolic"}, QStringLiteral("🌐")}},
        {"text.alignleft", {{"format-justify-left-symbolic", "text-x-generic-symbolic"}, QStringLiteral("≡")}},
        {"doc.richtext", {{"x-office-document-symbolic", "text-x-generic-symbolic"}, QStringLiteral("¶")}},
        {"tablecells", {{"x-office-spreadsheet-symbolic", "view-grid-symbolic"}, QStringLiteral("▦")}},
        {"rectangle.on.rectangle", {{"x-office-presentation-symbolic", "view-paged-symbolic"}, QStringLiteral("▭")}},
        {"swift", {{"text-x-script-symbolic", "applications-engineering-symbolic"}, QStringLiteral("</>")}},
        {"paintbrush", {{"applications-graphics-symbolic", "preferences-desktop-appearance-symbolic"}, QStringLiteral("🖌")}},
        {"curlybraces", {{"text-x-script-symbolic", "applications-engineering-symbolic"}, QStringLiteral("{}")}},
        {"chevron.left.slash.chevron.right", {{"text-html-symbolic", "applications-engineering-symbolic"}, QStringLiteral("</>")}},
        {"gearshape", {{"preferences-system-symbolic", "emblem-system-symbolic"}, QStringLiteral("⚙")}},
        {"folder", {{"folder-symbolic", "folder"}, QStringLiteral("▭")}},
        {"computermouse", {{"input-mouse-symbolic", "input-mouse"}, QStringLiteral("◉")}},
        {"circle.grid.cross", {{"view-app-grid-symbolic", "view-grid-symbolic"}, QStringLiteral("✣")}},
        {"checkmark.circle.fill", {{"emblem-ok-symbolic", "object-select-symbolic"}, QStringLiteral("✓")}},
        {"minus.circle", {{"list-remove-symbolic", "action-unavailable-symbolic"}, QStringLiteral("−")}},
        {"arrow.clockwise", {{"view-refresh-symbolic", "view-refresh"}, QStringLiteral("↻")}},
        {"pin", {{"view-pin-symbolic"}, QStringLiteral("📌")}},
        {"pin.fill", {{"view-pin-symbolic"}, QStringLiteral("📌")}},
        {"chevron.up", {{"go-up-symbolic", "pan-up-symbolic"}, QStringLiteral("▲")}},
        {"chevron.down", {{"go-down-symbolic", "pan-down-symbolic"}, QStringLiteral("▼")}},
        {"doc", {{"text-x-generic-symbolic", "text-x-generic"}, QStringLiteral("▯")}},
        {"doc.text", {{"x-office-document-symbolic", "text-x-generic-symbolic"}, QStringLiteral("▤")}},
        {"textformat", {{"format-text-bold-symbolic", "format-text-bold"}, QStringLiteral("Aa")}},
        {"photo", {{"image-x-generic-symbolic", "image-x-generic"}, QStringLiteral("▨")}},
        {"lock.rotation", {{"changes-prevent-symbolic", "system-lock-screen-symbolic"}, QStringLiteral("🔒")}},
        {"square.grid.2x2", {{"view-app-grid-symbolic", "view-grid-symbolic"}, QStringLiteral("▦")}},
        {"lock.open", {{"changes-allow-symbolic", "channel-insecure-symbolic"}, QStringLiteral("🔓")}},
        {"key", {{"dialog-password-symbolic", "channel-secure-symbolic"}, QStringLiteral("⚿")}},
        {"desktopcomputer", {{"computer-symbolic", "computer"}, QStringLiteral("🖥")}},
        {"cursorarrow.click.2", {{"input-mouse-symbolic", "input-mouse"}, QStringLiteral("➚")}},
        {"chevron.left.forwardslash.chevron.right", {{"applications-engineering-symbolic", "text-x-script"}, QStringLiteral("</>")}},
    };
    return t;
}

} // namespace

Entry entry(const QString& symbolName)
{
    auto it = table().constFind(symbolName);
    if (it != table().constEnd())
        return *it;
    return {{"system-run-symbolic", "emblem-system-symbolic"}, QStringLiteral("•")};
}

QIcon icon(const QString& symbolName)
{
    // Looked up once per theme: a toolbar of thousands of imported actions asks for the same few
    // symbols again and again. (Views only, so on the main thread.)
    static QHash<QString, QIcon> found;
    static QStringList foundIn;
    const auto theme = [] {
        return QStringList{QIcon::themeName(), QIcon::fallbackThemeName()} + QIcon::themeSearchPaths();
    };
    if (theme() == foundIn) {
        if (const auto known = found.constFind(symbolName); known != found.cend())
            return *known;
    }
    Platform::IconTheme::settle();
    if (theme() != foundIn) {
        found.clear();
        foundIn = theme();
    }
    QIcon icon;
    for (const QString& name : entry(symbolName).iconNames) {
        if (QIcon::hasThemeIcon(name)) {
            icon = QIcon::fromTheme(name);
            break;
        }
    }
    found.insert(symbolName, icon);
    return icon;
}

QString glyph(const QString& symbolName)
{
    return entry(symbolName).glyph;
}

} // namespace SymbolIcons
