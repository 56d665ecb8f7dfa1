#include "Selection/TextActionCatalog.h"

#include "ContextCore/TextInsight.h"
#include "Selection/PasteboardGuard.h"

#include <QUrl>

namespace TextActionCatalog {

namespace {
ActionDefinition make(const char* id, const char* titleKey, const char* symbol, ContextKindSet contexts,
                      OutputBehavior output, qint64 rank)
{
    ActionDefinition a;
    a.id = QString::fromLatin1(id);
    a.titleKey = QString::fromLatin1(titleKey);
    a.symbolName = QString::fromLatin1(symbol);
    a.supportedContexts = std::move(contexts);
    a.riskLevel = RiskLevel::safe;
    a.requiresAI = false;
    a.outputBehavior = output;
    a.defaultRank = rank;
    return a;
}

const ContextKindSet textual{ContextKind::selectedText, ContextKind::editableText};
const ContextKindSet anyText{ContextKind::selectedText, ContextKind::editableText, ContextKind::selectedURL};
} // namespace

const ActionDefinition& openLink()
{
    static const ActionDefinition a = make("text.openLink", "action.openLink", "arrow.up.right.square",
                                           {ContextKind::selectedURL}, OutputBehavior::none, 5);
    return a;
}

const ActionDefinition& calculate()
{
    static const ActionDefinition a = make("text.calculate", "action.calculate", "equal.square", textual,
                                           OutputBehavior::copiedToPasteboard, 1);
    return a;
}

const ActionDefinition& convertCurrency()
{
    static const ActionDefinition a = make("text.convertCurrency", "action.convertCurrency", "coloncurrencysign.circle",
                                           textual, OutputBehavior::none, 2);
    return a;
}

const ActionDefinition& copy()
{
    static const ActionDefinition a = make("text.copy", "action.copy", "doc.on.doc", anyText,
                                           OutputBehavior::copiedToPasteboard, 10);
    return a;
}

const ActionDefinition& copyPlain()
{
    static const ActionDefinition a = make("text.copyPlain", "action.copyPlainText", "doc.plaintext", anyText,
                                           OutputBehavior::copiedToPasteboard, 20);
    return a;
}

const ActionDefinition& translate()
{
    static const ActionDefinition a = make("text.translate", "action.translateWeb", "character.bubble", textual,
                                           OutputBehavior::none, 25);
    return a;
}

const ActionDefinition& search()
{
    static const ActionDefinition a = make("text.search", "action.search", "magnifyingglass", textual,
                                           OutputBehavior::none, 30);
    return a;
}

const QList<ActionDefinition>& all()
{
    static const QList<ActionDefinition> list{openLink(), calculate(), convertCurrency(), copy(),
                                              copyPlain(), translate(), search()};
    return list;
}

QList<ActionDefinition> availableActions(const ContextSnapshot& snapshot)
{
    const QString text = snapshot.selectedText.value_or(QString());
    const bool arithmetic = TextInsight::arithmeticResult(text).has_value();
    const bool money = TextInsight::money(text).has_value();
    QList<ActionDefinition> out;
    for (const auto& a : all()) {
        if (a.id == calculate().id && !arithmetic)
            continue;
        if (a.id == convertCurrency().id && !money)
            continue;
        out << a;
    }
    return out;
}

namespace {
Outcome open(Platform::Workspace& workspace, const std::optional<QUrl>& url)
{
    if (!url)
        return NothingToDo{};
    workspace.openURL(*url); // whether the handler managed is not ours to tell
    return Done{};
}
} // namespace

Outcome perform(const ActionDefinition& action, const ContextSnapshot& snapshot, const Settings& settings,
                Platform::Pasteboard& pasteboard, Platform::Workspace& workspace)
{
    if (!snapshot.selectedText || snapshot.selectedText->isEmpty())
        return NothingToDo{};
    const QString& text = *snapshot.selectedText;
    const QString& id = action.id;
    if (id == calculate().id) {
        const auto value = TextInsight::arithmeticResult(text);
        if (!value)
            return NothingToDo{};
        const QString formatted = TextInsight::format(*value);
        PasteboardGuard::setString(pasteboard, formatted);
        return Text{QStringLiteral("= ") + formatted};
    }
    if (id == convertCurrency().id) {
        const auto money = TextInsight::money(text);
        if (!money)
            return NothingToDo{};
        const QString query = TextInsight::format(money->amount) + u' ' + money->currencyCode + QStringLiteral(" to ")
            + settings.targetCurrency;
        return open(workspace, settings.searchEngine.url(query));
    }
    if (id == translate().id)
        return open(workspace, settings.translationService.url(text, settings.translationTarget));
    if (id == copy().id || id == copyPlain().id) {
        PasteboardGuard::setString(pasteboard, text);
        return Done{};
    }
    if (id == search().id)
        return open(workspace, settings.searchEngine.url(text));
    if (id == openLink().id) {
        const QUrl url(text.trimmed(), QUrl::StrictMode);
        // Selected text is anybody's: only web addresses are opened, never files or other handlers.
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
            return NothingToDo{};
        return open(workspace, url);
    }
    return NothingToDo{};
}

} // namespace TextActionCatalog
