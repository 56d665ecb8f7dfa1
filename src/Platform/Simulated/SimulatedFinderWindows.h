#pragma once

#include "Platform/FinderWindows.h"

namespace Platform {

// A file manager whose answer tests script; counts the questions asked.
class SimulatedFinderWindows final : public FinderWindows {
    Q_OBJECT
public:
    using FinderWindows::FinderWindows;

    bool isFileManager(const ApplicationInfo& app) const override
    {
        return fileManagerProcess != 0 && app.processID == fileManagerProcess;
    }

    std::expected<QString, Failure> frontWindowPath() override
    {
        ++queries;
        return m_answer;
    }

    // Script: a path (empty for no window) or a failure.
    void setFrontWindowPath(const QString& path) { m_answer = path; }
    void setFailure(qint64 number) { m_answer = std::unexpected(Failure{number}); }

    // The process taken for the file manager whatever its identifier; 0: none.
    qint64 fileManagerProcess = 0;

    // Record
    int queries = 0;

private:
    std::expected<QString, Failure> m_answer = QString();
};

} // namespace Platform
