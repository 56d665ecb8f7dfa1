#include "AIProviders/AIOutputLanguage.h"

#include "ContextCore/TranslationService.h"

#include <QLocale>

namespace {
const QString followSelectionName = QStringLiteral("followSelection");
const QString followInterfaceName = QStringLiteral("followInterface");
const QString explicitName = QStringLiteral("explicit");

// The name of the current locale's own language, in that locale.
QString interfaceLanguageName()
{
    const QLocale current;
    QLocale::Language language = current.language();
    if (language == QLocale::C || language == QLocale::AnyLanguage)
        language = QLocale::English;
    // The language alone, without the territory: "English", not "American English".
    const QString name = QLocale(language).nativeLanguageName();
    if (name.isEmpty())
        return QStringLiteral("English");
    if (language == QLocale::English)
        return QStringLiteral("English");
    return name;
}
} // namespace

AIOutputLanguage AIOutputLanguage::fromSetting(const QString& setting)
{
    if (setting == QLatin1String("selection"))
        return followSelection();
    if (setting == QLatin1String("interface"))
        return followInterface();
    return explicitLanguage(setting);
}

QString AIOutputLanguage::settingValue() const
{
    if (std::holds_alternative<FollowSelection>(value))
        return QStringLiteral("selection");
    if (std::holds_alternative<FollowInterface>(value))
        return QStringLiteral("interface");
    return std::get<Explicit>(value).code;
}

QString AIOutputLanguage::languageDescription() const
{
    if (std::holds_alternative<FollowSelection>(value))
        return QStringLiteral("the same language as the input");
    if (std::holds_alternative<FollowInterface>(value))
        return interfaceLanguageName();
    const QString& code = std::get<Explicit>(value).code;
    if (const auto target = TranslationTarget::named(code))
        return target->displayName;
    return code;
}

QJsonObject toJson(const AIOutputLanguage& language)
{
    if (std::holds_alternative<AIOutputLanguage::FollowSelection>(language.value))
        return OneKeyJson::encode(followSelectionName);
    if (std::holds_alternative<AIOutputLanguage::FollowInterface>(language.value))
        return OneKeyJson::encode(followInterfaceName);
    return OneKeyJson::encodeUnlabelled(explicitName, std::get<AIOutputLanguage::Explicit>(language.value).code);
}

template <>
std::expected<AIOutputLanguage, DecodingError> fromJson<AIOutputLanguage>(const QJsonValue& value)
{
    const auto found = OneKeyJson::decode(value, {followSelectionName, followInterfaceName, explicitName});
    if (!found)
        return std::unexpected(found.error());
    if (found->name == followSelectionName)
        return AIOutputLanguage::followSelection();
    if (found->name == followInterfaceName)
        return AIOutputLanguage::followInterface();
    const QJsonValue code = found->payload.value(OneKeyJson::unlabelled);
    if (code.isUndefined())
        return std::unexpected(Coding::missingKey(OneKeyJson::unlabelled));
    if (!code.isString())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("a string"), OneKeyJson::unlabelled));
    return AIOutputLanguage::explicitLanguage(code.toString());
}
