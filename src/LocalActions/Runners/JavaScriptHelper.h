#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <cstring>
#include <optional>

// The helper mode of the application's own executable: started with `flag` it reads one request
// from standard input, evaluates it and writes one response to standard output. JavaScript never
// runs inside the application process.
namespace JavaScriptHelper {

inline constexpr auto flag = "--ambrel-run-javascript";

// Whether the flag is among the arguments, at any position after the program name.
inline bool isRequested(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i)
        if (argv[i] && std::strcmp(argv[i], flag) == 0)
            return true;
    return false;
}

struct Request {
    QString source;
    QString input;
    bool operator==(const Request&) const = default;
};
struct Response {
    std::optional<QString> output;
    std::optional<QString> error; // present and empty: the script produced nothing
    bool operator==(const Response&) const = default;
};

QByteArray encode(const Request& request);
QByteArray encode(const Response& response);
// Both keys are required and must be strings; other keys are ignored.
std::optional<Request> decodeRequest(const QByteArray& json);
// Each key, when present, must be a string.
std::optional<Response> decodeResponse(const QByteArray& json);

// The response to one raw request.
Response respond(const QByteArray& request);

// The helper's address space. A script that takes more (a string doubled in a loop) ends the
// helper, which the runner reports as an error, long before the machine would swap. The engine
// itself needs well under 100 MiB of it.
inline constexpr quint64 addressSpaceLimit = 512ull * 1024 * 1024;

// Serves one request from standard input to standard output. Always returns 0: the exit status
// never carries the outcome. Bounds the process's address space first (not under the address
// sanitizer, whose shadow memory needs far more), and makes a core application object when there
// is none.
int main();

} // namespace JavaScriptHelper
