#include "AIProviders/DocumentTypes.h"

#include "AIProviders/AIActionLibrary.h"
#include "ContextCore/PluginManifest.h"

const DocumentType& DocumentType::ambrelPlugin()
{
    static const DocumentType t{QStringLiteral("com.corvish.plugin"), QStringLiteral("public.yaml"),
                                PluginManifest::fileExtension};
    return t;
}

const DocumentType& DocumentType::aiActionLibrary()
{
    static const DocumentType t{QStringLiteral("com.corvish.ai-action-library"), QStringLiteral("public.json"),
                                AIActionLibrary::fileExtension};
    return t;
}
