#include "AIProviders/ChatWire.h"
#include "AIProviders/OpenAICompatibleClient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

Q_DECLARE_METATYPE(AIProviderID)
Q_DECLARE_METATYPE(TransportError::Code)

namespace {

// What a line gives, written as a short string: "-" no event, "done", or "delta:<text>".
QString describe(const std::optional<SSEEvent>& event)
{
    if (!event)
        return QStringLiteral("-");
    if (event->isDone())
        return QStringLiteral("done");
    return QStringLiteral("delta:") + *event->text();
}

QStringList split(const QList<QByteArray>& packets, qsizetype maximum = SSELineReader::defaultMaximumLineLength,
                  bool* overflowed = nullptr)
{
    SSELineReader reader(maximum);
    QStringList lines;
    const auto take = [&lines](QByteArrayView line) {
        lines << QString::fromUtf8(line);
        return true;
    };
    for (const QByteArray& p : packets) {
        if (!reader.feed(p, take))
            break;
    }
    reader.finish(take);
    if (overflowed)
        *overflowed = reader.overflowed();
    return lines;
}

} // namespace

class ChatWireTest : public QObject {
    Q_OBJECT
private slots:
    void lines_data();
    void lines();
    void lineBytes_data();
    void lineBytes();
    void lineBreaksAcrossPackets_data();
    void lineBreaksAcrossPackets();
    void characterCutBetweenPacketsStaysWhole();
    void lineCutAnywhere_data();
    void lineCutAnywhere();
    void overlongLineStopsTheReader();
    void readerStopsWhenAsked();
    void request();
    void errorEnvelope_data();
    void errorEnvelope();
    void modelList_data();
    void modelList();
    void statusMapping_data();
    void statusMapping();
    void retryAfter_data();
    void retryAfter();
    void transportMapping_data();
    void transportMapping();
    void endpoints_data();
    void endpoints();
};

void ChatWireTest::lines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("delta") << R"(data: {"choices":[{"delta":{"content":"Hel"}}]})" << "delta:Hel";
    QTest::newRow("no space after colon") << R"(data:{"choices":[{"delta":{"content":"x"}}]})" << "delta:x";
    QTest::newRow("content kept with its spaces") << R"(data: {"choices":[{"delta":{"content":"  a b "}}]})" << "delta:  a b ";
    QTest::newRow("single space content") << R"(data: {"choices":[{"delta":{"content":" "}}]})" << "delta: ";
    QTest::newRow("done") << "data: [DONE]" << "done";
    QTest::newRow("done without space") << "data:[DONE]" << "done";
    QTest::newRow("done with tabs and spaces") << "data:\t [DONE] \t" << "done";
    QTest::newRow("done after no-break space") << QString::fromUtf8("data:\u00a0[DONE]\u3000") << "done";
    QTest::newRow("done in other case") << "data: [done]" << "-";
    QTest::newRow("leading space before data") << R"( data: {"choices":[{"delta":{"content":"x"}}]})" << "-";
    QTest::newRow("upper-case prefix") << R"(DATA: {"choices":[{"delta":{"content":"x"}}]})" << "-";
    QTest::newRow("data and nothing") << "data:" << "-";
    QTest::newRow("data and spaces") << "data:    " << "-";
    QTest::newRow("blank") << "" << "-";
    QTest::newRow("comment") << ": keep-alive" << "-";
    QTest::newRow("event field") << "event: message" << "-";
    QTest::newRow("id field") << "id: 7" << "-";
    QTest::newRow("not JSON") << "data: hello" << "-";
    QTest::newRow("JSON number") << "data: 42" << "-";
    QTest::newRow("two choices, first wins") << R"(data: {"choices":[{"delta":{"content":"A"}},{"delta":{"content":"B"}}]})" << "delta:A";
    QTest::newRow("role only") << R"(data: {"choices":[{"delta":{"role":"assistant"}}]})" << "-";
    QTest::newRow("content null") << R"(data: {"choices":[{"delta":{"content":null}}]})" << "-";
    QTest::newRow("content empty") << R"(data: {"choices":[{"delta":{"content":""}}]})" << "-";
    QTest::newRow("content a number") << R"(data: {"choices":[{"delta":{"content":5}}]})" << "-";
    QTest::newRow("delta null") << R"(data: {"choices":[{"delta":null}]})" << "-";
    QTest::newRow("choices empty") << R"(data: {"choices":[]})" << "-";
    QTest::newRow("choices null") << R"(data: {"choices":null})" << "-";
    QTest::newRow("choices an object") << R"(data: {"choices":{"delta":{"content":"x"}}})" << "-";
    QTest::newRow("error object") << R"(data: {"error":{"message":"overloaded","code":"503"}})" << "-";
    QTest::newRow("finish reason a string") << R"(data: {"choices":[{"delta":{"content":"z"},"finish_reason":"stop"}]})" << "delta:z";
    QTest::newRow("finish reason a number") << R"(data: {"choices":[{"delta":{"content":"z"},"finish_reason":1}]})" << "-";
    QTest::newRow("second choice undecodable") << R"(data: {"choices":[{"delta":{"content":"A"}},{"delta":7}]})" << "-";
    QTest::newRow("unicode content") << QString::fromUtf8(R"(data: {"choices":[{"delta":{"content":"你好🙂"}}]})")
                                     << QString::fromUtf8("delta:你好🙂");
    QTest::newRow("escaped line feed") << R"(data: {"choices":[{"delta":{"content":"a\nb"}}]})" << "delta:a\nb";
}

void ChatWireTest::lines()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);
    QCOMPARE(describe(parseSSELine(line)), expected);
    QCOMPARE(describe(OpenAICompatibleClient::parseSSELine(line)), expected);
    QCOMPARE(describe(parseSSELineUtf8(line.toUtf8())), expected);
}

// Lines as they arrive, bytes that no text holds among them: the line read from its bytes gives
// what its decoded text gives.
void ChatWireTest::lineBytes_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("expected");
    const auto chunk = [](const QByteArray& content) {
        return R"(data: {"choices":[{"delta":{"content":")" + content + R"("}}]})";
    };
    QTest::newRow("escapes") << chunk(R"(a\"b\\c\/d\u00e9\uD83D\uDE42\t)") << QString::fromUtf8("delta:a\"b\\c/dé🙂\t");
    QTest::newRow("escaped NUL") << chunk(R"(\u0000)") << QStringLiteral("delta:") + QChar(0);
    QTest::newRow("lone surrogate escape") << chunk(R"(\ud800)") << QStringLiteral("delta:") + QChar(0xD800);
    QTest::newRow("invalid UTF-8 replaced") << chunk("a\xff" "b") << QStringLiteral("delta:a\uFFFDb");
    // The same beside an escape, where the short way decodes the characters itself.
    QTest::newRow("overlong sequence replaced")
        << chunk("a\xe0\x80\xaf" R"(b\n)") << QStringLiteral("delta:a\uFFFD\uFFFD\uFFFDb\n");
    QTest::newRow("encoded surrogate replaced") << chunk("\xed\xa0\x80" R"(\n)") << QStringLiteral("delta:\uFFFD\uFFFD\uFFFD\n");
    QTest::newRow("beyond the last scalar value replaced")
        << chunk("\xf4\x90\x80\x80" R"(\n)") << QStringLiteral("delta:\uFFFD\uFFFD\uFFFD\uFFFD\n");
    QTest::newRow("raw noncharacter") << chunk("\xef\xb7\x90" R"(\n)") << QStringLiteral("delta:") + QChar(0xFDD0) + u'\n';
    QTest::newRow("every length of sequence")
        << chunk("\xc3\xa9\xd1\x8f\xe4\xbd\xa0\xf0\x9f\x99\x82" R"(\n)") << QString::fromUtf8("delta:éя你🙂\n");
    QTest::newRow("invalid UTF-8 elsewhere") << QByteArray("data: {\"model\":\"\xc0\x80\",\"choices\":[{\"delta\":{\"content\":\"m\"}}]}")
                                            << "delta:m";
    QTest::newRow("raw control character") << chunk("a\x01" "b") << QString::fromUtf8("delta:a\x01" "b");
    QTest::newRow("repeated content, last wins")
        << QByteArray(R"(data: {"choices":[{"delta":{"content":"a","content":"b"}}]})") << "delta:b";
    QTest::newRow("repeated choices, last wins")
        << QByteArray(R"(data: {"choices":7,"choices":[{"delta":{"content":"b"}}]})") << "delta:b";
    QTest::newRow("repeated choices, the last without content")
        << QByteArray(R"(data: {"choices":[{"delta":{"content":"a"}}],"choices":[{"delta":{}}]})") << "-";
    QTest::newRow("repeated delta, the last without content")
        << QByteArray(R"(data: {"choices":[{"delta":{"content":"a"},"delta":{"role":"assistant"}}]})") << "-";
    QTest::newRow("repeated finish reason, last wins")
        << QByteArray(R"(data: {"choices":[{"delta":{"content":"f"},"finish_reason":1,"finish_reason":"stop"}]})") << "delta:f";
    QTest::newRow("escaped key") << QByteArray(R"(data: {"cho\u0069ces":[{"delta":{"content":"k"}}]})") << "delta:k";
    QTest::newRow("long integer elsewhere")
        << QByteArray(R"(data: {"created":123456789012345678901234,"choices":[{"delta":{"content":"n"}}]})") << "delta:n";
    QTest::newRow("number out of range elsewhere")
        << QByteArray(R"(data: {"created":1e400,"choices":[{"delta":{"content":"n"}}]})") << "-";
    QTest::newRow("deep nesting elsewhere")
        << "data: {\"x\":" + QByteArray(100, '[') + QByteArray(100, ']') + R"(,"choices":[{"delta":{"content":"d"}}]})"
        << "delta:d";
    QTest::newRow("nesting too deep")
        << "data: {\"x\":" + QByteArray(1100, '[') + QByteArray(1100, ']') + R"(,"choices":[{"delta":{"content":"d"}}]})"
        << "-";
    QTest::newRow("garbage after the object") << QByteArray(R"(data: {"choices":[{"delta":{"content":"t"}}]} x)") << "-";
    QTest::newRow("second choice's content a number")
        << QByteArray(R"(data: {"choices":[{"delta":{"content":"A"}},{"delta":{"content":5}}]})") << "-";
    QTest::newRow("ideographic space after the object") << chunk("u") + "\xe3\x80\x80" << "delta:u";
    QTest::newRow("byte order mark before the object")
        << QByteArray("data: \xef\xbb\xbf{\"choices\":[{\"delta\":{\"content\":\"b\"}}]}") << "delta:b";
    QTest::newRow("byte order mark before the line") << "\xef\xbb\xbf" + chunk("b") << "delta:b";
    QTest::newRow("array") << QByteArray(R"(data: [{"choices":[{"delta":{"content":"arr"}}]}])") << "-";
    // Escapes the short way may take or leave to the general way.
    QTest::newRow("lower-case surrogate pair") << chunk(R"(\ud83d\ude42)") << QString::fromUtf8("delta:🙂");
    QTest::newRow("last scalar value as a pair") << chunk(R"(\uDBFF\uDFFF)") << QStringLiteral("delta:") + QChar(0xDBFF) + QChar(0xDFFF);
    QTest::newRow("high surrogate before a letter") << chunk(R"(\uD83D\u0041)") << QStringLiteral("delta:") + QChar(0xD83D) + u'A';
    QTest::newRow("surrogates the wrong way round") << chunk(R"(\uDE42\uD83D)") << QStringLiteral("delta:") + QChar(0xDE42) + QChar(0xD83D);
    QTest::newRow("escaped noncharacter") << chunk(R"(\uFFFE)") << QStringLiteral("delta:") + QChar(0xFFFE);
    // A byte order mark in the content: the general way keeps it where the content holds an
    // escape and drops a leading one where it holds none.
    QTest::newRow("escaped byte order mark first") << chunk(R"(\uFEFFa)") << QStringLiteral("delta:") + QChar(0xFEFF) + u'a';
    QTest::newRow("escaped byte order mark alone") << chunk(R"(\ufeff)") << QStringLiteral("delta:") + QChar(0xFEFF);
    QTest::newRow("byte order mark first, an escape after")
        << chunk("\xef\xbb\xbf" R"(a\n)") << QStringLiteral("delta:") + QChar(0xFEFF) + u'a' + u'\n';
    QTest::newRow("byte order mark first, no escape") << chunk("\xef\xbb\xbf" "a") << "delta:a";
    QTest::newRow("byte order mark alone") << chunk("\xef\xbb\xbf") << "-";
    QTest::newRow("byte order mark inside") << chunk("a\xef\xbb\xbf") << QStringLiteral("delta:a") + QChar(0xFEFF);
    QTest::newRow("escape cut short") << chunk(R"(\uD83D\uDE4)") << "-";
    QTest::newRow("backslash before the closing quote") << chunk(R"(\)") << "-";
    // Other members named like the watched ones, at other levels.
    QTest::newRow("content of another member of the delta")
        << QByteArray(R"(data: {"choices":[{"delta":{"content":"a","extra":{"content":"b"}}}]})") << "delta:a";
    QTest::newRow("content only inside another member of the delta")
        << QByteArray(R"(data: {"choices":[{"delta":{"tool":{"content":"b"}}}]})") << "-";
    QTest::newRow("content beside the choices")
        << QByteArray(R"(data: {"content":"q","choices":[{"index":0,"delta":{}}]})") << "-";
    QTest::newRow("log probabilities holding content")
        << QByteArray(R"(data: {"choices":[{"logprobs":{"content":[{"token":"x"}]},"delta":{"content":"a"}}]})") << "delta:a";
    QTest::newRow("members in another order")
        << QByteArray(R"(data: {"id":"x","choices":[{"finish_reason":null,"index":0,"delta":{"role":"assistant","content":"o"}}],"created":1})")
        << "delta:o";
    QTest::newRow("choices inside another member")
        << QByteArray(R"(data: {"x":{"choices":[{"delta":{"content":"no"}}]}})") << "-";
    QTest::newRow("choices in an array") << QByteArray(R"(data: {"choices":[[{"delta":{"content":"a"}}]]})") << "-";
    QTest::newRow("a null choice") << QByteArray(R"(data: {"choices":[null,{"delta":{"content":"a"}}]})") << "-";
    QTest::newRow("a null choice after the first") << QByteArray(R"(data: {"choices":[{"delta":{"content":"a"}},null]})") << "-";
    QTest::newRow("nulls elsewhere")
        << QByteArray(R"(data: {"usage":null,"choices":[{"delta":{"content":"a"},"finish_reason":null,"logprobs":null}]})") << "delta:a";
    QTest::newRow("null content, then content")
        << QByteArray(R"(data: {"choices":[{"delta":{"content":null,"content":"late"}}]})") << "delta:late";
    // The JSON grammar around the members.
    QTest::newRow("spaces between every token")
        << QByteArray(R"(data: { "choices" : [ { "delta" : { "content" : "sp" } } ] } )") << "delta:sp";
    QTest::newRow("form feed is no JSON space")
        << QByteArray("data: {\"choices\":[{\"delta\":{\"content\":\"ff\"}}]\f}") << "-";
    QTest::newRow("trailing comma in the choices")
        << QByteArray(R"(data: {"choices":[{"delta":{"content":"a"}},]})") << "-";
    QTest::newRow("trailing comma in the object")
        << QByteArray(R"(data: {"choices":[{"delta":{"content":"a"}}],})") << "-";
    QTest::newRow("closing brace missing") << QByteArray(R"(data: {"choices":[{"delta":{"content":"a"}}])") << "-";
    QTest::newRow("literals elsewhere")
        << QByteArray(R"(data: {"a":true,"b":false,"c":[null,{}],"choices":[{"delta":{"content":"l"}}]})") << "delta:l";
    QTest::newRow("literal cut short") << QByteArray(R"(data: {"a":tru,"choices":[{"delta":{"content":"l"}}]})") << "-";
    const auto withNumber = [](const QByteArray& number) {
        return R"(data: {"created":)" + number + R"(,"choices":[{"delta":{"content":"n"}}]})";
    };
    QTest::newRow("numbers of every form elsewhere") << withNumber("[-0,0.5,1.5e-3,1E+2,-12.25e99,7]") << "delta:n";
    QTest::newRow("long fraction elsewhere") << withNumber("0.000000000000000000000000001") << "delta:n";
    QTest::newRow("leading zero elsewhere") << withNumber("01") << "-";
    QTest::newRow("plus sign elsewhere") << withNumber("+1") << "-";
    QTest::newRow("exponent without digits elsewhere") << withNumber("1e") << "-";
    QTest::newRow("minus alone elsewhere") << withNumber("-") << "-";
    QTest::newRow("NaN elsewhere") << withNumber("NaN") << "-";
    QTest::newRow("infinite number elsewhere") << withNumber("1e309") << "-";
}

void ChatWireTest::lineBytes()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, expected);
    QCOMPARE(describe(parseSSELine(QString::fromUtf8(line))), expected);
    QCOMPARE(describe(parseSSELineUtf8(line)), expected);
    // Cut short anywhere, even inside a character or an escape, both ways still agree.
    for (qsizetype length = 0; length < line.size(); ++length) {
        const QByteArray head = line.left(length);
        QVERIFY2(parseSSELineUtf8(head) == parseSSELine(QString::fromUtf8(head)),
                 "cut after " + QByteArray::number(length) + ": " + describe(parseSSELineUtf8(head)).toUtf8());
    }
}

void ChatWireTest::lineBreaksAcrossPackets_data()
{
    QTest::addColumn<QList<QByteArray>>("packets");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("LF") << QList<QByteArray>{"a\nb\n"} << QStringList{"a", "b"};
    QTest::newRow("CR LF") << QList<QByteArray>{"a\r\nb\r\n"} << QStringList{"a", "b"};
    QTest::newRow("lone CR") << QList<QByteArray>{"a\rb\r"} << QStringList{"a", "b"};
    QTest::newRow("CR LF split between packets") << QList<QByteArray>{"a\r", "\nb\n"} << QStringList{"a", "b"};
    QTest::newRow("CR then blank line") << QList<QByteArray>{"a\r", "\r\nb"} << QStringList{"a", "", "b"};
    QTest::newRow("blank lines kept") << QList<QByteArray>{"a\n\n\nb\n"} << QStringList{"a", "", "", "b"};
    QTest::newRow("line across three packets") << QList<QByteArray>{"da", "ta: x", "y\n"} << QStringList{"data: xy"};
    QTest::newRow("unterminated last line") << QList<QByteArray>{"a\nlast"} << QStringList{"a", "last"};
    QTest::newRow("empty packets") << QList<QByteArray>{"", "a", "", "\n"} << QStringList{"a"};
}

void ChatWireTest::lineBreaksAcrossPackets()
{
    QFETCH(QList<QByteArray>, packets);
    QFETCH(QStringList, expected);
    QCOMPARE(split(packets), expected);
}

void ChatWireTest::characterCutBetweenPacketsStaysWhole()
{
    const QByteArray line = QString::fromUtf8(R"(data: {"choices":[{"delta":{"content":"€🙂"}}]})").toUtf8() + "\n";
    for (qsizetype cut = 1; cut < line.size(); ++cut) {
        const QStringList lines = split({line.left(cut), line.mid(cut)});
        QCOMPARE(lines.size(), 1);
        QCOMPARE(describe(parseSSELine(lines.first())), QString::fromUtf8("delta:€🙂"));
    }
}

// A line cut between two packets at every place, the next line's first byte behind its break:
// read from its bytes as the reader hands them on, whole in a packet or gathered across two, it
// gives what its text gives, and nothing beyond its break counts.
void ChatWireTest::lineCutAnywhere_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("escapes and a surrogate pair")
        << QByteArray(R"(data: {"choices":[{"delta":{"content":"a\"b\\c\u00e9\uD83D\uDE42"}}]})")
        << QString::fromUtf8("delta:a\"b\\cé🙂");
    QTest::newRow("two choices")
        << QByteArray(R"(data: {"choices":[{"delta":{"content":"A"},"finish_reason":null},{"delta":{"content":"B"}}]})")
        << "delta:A";
    QTest::newRow("closing brace on the next line") << QByteArray(R"(data: {"choices":[{"delta":{"content":"a"}}])") << "-";
    QTest::newRow("done") << QByteArray("data: [DONE]") << "done";
}

void ChatWireTest::lineCutAnywhere()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, expected);
    for (qsizetype cut = 0; cut <= line.size(); ++cut) {
        SSELineReader reader;
        QStringList fast;
        QStringList general;
        const auto take = [&](QByteArrayView bytes) {
            fast << describe(parseSSELineUtf8(bytes));
            general << describe(parseSSELine(QString::fromUtf8(bytes)));
            return true;
        };
        QVERIFY(reader.feed(line.left(cut), take));
        QVERIFY(reader.feed(line.mid(cut) + "\n}\n", take));
        const QByteArray where = "cut at " + QByteArray::number(cut);
        QVERIFY2(fast == (QStringList{expected, "-"}), where + ": " + fast.join(" | ").toUtf8());
        QVERIFY2(general == fast, where + ": " + general.join(" | ").toUtf8());
    }
}

void ChatWireTest::overlongLineStopsTheReader()
{
    bool overflowed = false;
    // Within the limit, across packets.
    QCOMPARE(split({QByteArray(60, 'x'), QByteArray(40, 'y') + "\n"}, 100, &overflowed).first().size(), 100);
    QVERIFY(!overflowed);
    // One byte more, without a break: nothing is handed on and the reader stops.
    const QStringList lines = split({"ok\n" + QByteArray(60, 'x'), QByteArray(41, 'y'), "\nafter\n"}, 100, &overflowed);
    QVERIFY(overflowed);
    QCOMPARE(lines, QStringList{"ok"});
}

void ChatWireTest::readerStopsWhenAsked()
{
    SSELineReader reader;
    QStringList seen;
    const auto untilStop = [&seen](QByteArrayView line) {
        seen << QString::fromLatin1(line);
        return line != "stop";
    };
    QVERIFY(!reader.feed("a\nstop\nb\n", untilStop));
    QVERIFY(!reader.feed("c\n", untilStop));
    QVERIFY(!reader.finish(untilStop));
    QCOMPARE(seen, (QStringList{"a", "stop"}));
    QVERIFY(reader.stopped());
    QVERIFY(!reader.overflowed());
}

void ChatWireTest::request()
{
    const QByteArray without = ChatWire::encode(ChatWire::chatRequest("qwen-plus", QString(), "Hi \"there\"\n", std::nullopt));
    const QJsonObject o = QJsonDocument::fromJson(without).object();
    QCOMPARE(o.keys(), (QStringList{"messages", "model", "stream"}));
    QCOMPARE(o.value("model").toString(), QStringLiteral("qwen-plus"));
    QCOMPARE(o.value("stream"), QJsonValue(true));
    const QJsonArray messages = o.value("messages").toArray();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages.at(0).toObject(), (QJsonObject{{"role", "system"}, {"content", ""}}));
    QCOMPARE(messages.at(1).toObject(), (QJsonObject{{"role", "user"}, {"content", "Hi \"there\"\n"}}));
    QVERIFY(!without.contains('\n')); // compact

    const QJsonObject with = QJsonDocument::fromJson(ChatWire::encode(ChatWire::chatRequest("m", "s", "u", 0.25))).object();
    QCOMPARE(with.value("temperature").toDouble(), 0.25);
    QCOMPARE(with.keys().size(), 4);
}

void ChatWireTest::errorEnvelope_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("decodes");
    QTest::addColumn<QString>("message");
    QTest::newRow("full") << QByteArray(R"({"error":{"message":"Bad key","type":"auth","code":"401"}})") << true << "Bad key";
    QTest::newRow("code null") << QByteArray(R"({"error":{"message":"m","code":null}})") << true << "m";
    QTest::newRow("code a number") << QByteArray(R"({"error":{"message":"m","code":429}})") << false << "";
    QTest::newRow("error a string") << QByteArray(R"({"error":"nope"})") << false << "";
    QTest::newRow("no error key") << QByteArray(R"({"detail":"x"})") << true << "";
    QTest::newRow("error without message") << QByteArray(R"({"error":{"type":"t"}})") << true << "";
    QTest::newRow("message a number") << QByteArray(R"({"error":{"message":5}})") << false << "";
    QTest::newRow("not JSON") << QByteArray("<html>502</html>") << false << "";
    QTest::newRow("array") << QByteArray("[1]") << false << "";
    QTest::newRow("empty") << QByteArray() << false << "";
    QTest::newRow("cut short") << QByteArray(R"({"error":{"message":"long)") << false << "";
}

void ChatWireTest::errorEnvelope()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, decodes);
    QFETCH(QString, message);
    QCOMPARE(ChatWire::decodeErrorEnvelope(body).has_value(), decodes);
    QCOMPARE(ChatWire::errorMessage(body), message);
}

void ChatWireTest::modelList_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("decodes");
    QTest::addColumn<QStringList>("ids");
    QTest::newRow("two, in order, extra keys ignored")
        << QByteArray(R"({"object":"list","data":[{"id":"b","owned_by":"x"},{"id":"a"}]})") << true << QStringList{"b", "a"};
    QTest::newRow("duplicates kept") << QByteArray(R"({"data":[{"id":"a"},{"id":"a"}]})") << true << QStringList{"a", "a"};
    QTest::newRow("empty data") << QByteArray(R"({"data":[]})") << true << QStringList{};
    QTest::newRow("entry without id") << QByteArray(R"({"data":[{"id":"a"},{"name":"b"}]})") << false << QStringList{};
    QTest::newRow("id a number") << QByteArray(R"({"data":[{"id":1}]})") << false << QStringList{};
    QTest::newRow("no data") << QByteArray(R"({"models":[]})") << false << QStringList{};
    QTest::newRow("data null") << QByteArray(R"({"data":null})") << false << QStringList{};
    QTest::newRow("not JSON") << QByteArray("models: a, b") << false << QStringList{};
}

void ChatWireTest::modelList()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, decodes);
    QFETCH(QStringList, ids);
    const auto list = ChatWire::decodeModelList(body);
    QCOMPARE(list.has_value(), decodes);
    if (!list)
        return;
    QStringList got;
    for (const auto& m : list->data)
        got << m.id;
    QCOMPARE(got, ids);
}

void ChatWireTest::statusMapping_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<AIProviderID>("provider");
    QTest::addColumn<QByteArray>("retryAfter"); // empty: no such header
    QTest::addColumn<AIError>("expected");
    const auto msg = [](const char* text) {
        return QByteArray(R"({"error":{"message":")") + text + R"(","type":"x"}})";
    };
    const AIProviderID any = AIProviderID::openAICompatible;
    QTest::newRow("400 context length") << 400 << msg("This model's Maximum Context length is 8192 tokens") << any << QByteArray() << AIError::contentTooLong();
    QTest::newRow("400 too long") << 400 << msg("Input is TOO LONG") << any << QByteArray() << AIError::contentTooLong();
    QTest::newRow("400 content policy") << 400 << msg("Content blocked by safety policy") << any << QByteArray() << AIError::contentFiltered();
    QTest::newRow("400 content filter") << 400 << msg("content_filter triggered") << any << QByteArray() << AIError::contentFiltered();
    QTest::newRow("400 content only") << 400 << msg("content is missing") << any << QByteArray() << AIError::serverError(400);
    QTest::newRow("400 numeric code hides message") << 400 << QByteArray(R"({"error":{"message":"maximum context","code":400}})") << any << QByteArray() << AIError::serverError(400);
    QTest::newRow("400 raw body is no message") << 400 << QByteArray("maximum context exceeded") << any << QByteArray() << AIError::serverError(400);
    QTest::newRow("401 alibaba") << 401 << msg("Invalid API-key provided.") << AIProviderID::alibabaBailian << QByteArray() << AIError::authenticationFailed(AuthFailureHint::possibleRegionMismatch);
    QTest::newRow("403 alibaba") << 403 << QByteArray() << AIProviderID::alibabaBailian << QByteArray() << AIError::authenticationFailed(AuthFailureHint::possibleRegionMismatch);
    QTest::newRow("401 openRouter revoked") << 401 << msg("This key has been Revoked") << AIProviderID::openRouter << QByteArray() << AIError::authenticationFailed(AuthFailureHint::credentialRevoked);
    QTest::newRow("403 openRouter disabled") << 403 << msg("User is disabled") << AIProviderID::openRouter << QByteArray() << AIError::authenticationFailed(AuthFailureHint::credentialRevoked);
    QTest::newRow("401 openRouter other") << 401 << msg("No auth credentials found") << AIProviderID::openRouter << QByteArray() << AIError::authenticationFailed(AuthFailureHint::generic);
    QTest::newRow("401 ollama revoked still generic") << 401 << msg("revoked") << AIProviderID::ollama << QByteArray() << AIError::authenticationFailed(AuthFailureHint::generic);
    QTest::newRow("403 custom") << 403 << msg("forbidden") << AIProviderID::openAICompatible << QByteArray() << AIError::authenticationFailed(AuthFailureHint::generic);
    QTest::newRow("402") << 402 << QByteArray() << any << QByteArray() << AIError::insufficientCredits();
    QTest::newRow("404") << 404 << msg("model too long") << any << QByteArray() << AIError::modelNotFound();
    QTest::newRow("413") << 413 << QByteArray() << any << QByteArray() << AIError::contentTooLong();
    QTest::newRow("429 seconds") << 429 << msg("slow down") << any << QByteArray("20") << AIError::rateLimited(20.0);
    QTest::newRow("429 fraction") << 429 << QByteArray() << any << QByteArray("1.5") << AIError::rateLimited(1.5);
    QTest::newRow("429 date") << 429 << QByteArray() << any << QByteArray("Wed, 21 Oct 2026 07:28:00 GMT") << AIError::rateLimited();
    QTest::newRow("429 no field") << 429 << QByteArray() << any << QByteArray() << AIError::rateLimited();
    QTest::newRow("429 credits") << 429 << msg("You have run out of Credits") << any << QByteArray("5") << AIError::insufficientCredits();
    QTest::newRow("429 quota") << 429 << msg("Quota exceeded") << any << QByteArray() << AIError::insufficientCredits();
    QTest::newRow("405") << 405 << QByteArray() << any << QByteArray() << AIError::serverError(405);
    QTest::newRow("418") << 418 << QByteArray() << any << QByteArray() << AIError::serverError(418);
    QTest::newRow("500") << 500 << msg("too long") << any << QByteArray() << AIError::serverError(500);
    QTest::newRow("503") << 503 << QByteArray() << any << QByteArray() << AIError::serverError(503);
}

void ChatWireTest::statusMapping()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(AIProviderID, provider);
    QFETCH(QByteArray, retryAfter);
    QFETCH(AIError, expected);
    HttpHeaders headers{{"Content-Type", "application/json"}};
    if (!retryAfter.isEmpty())
        headers.append({"retry-after", retryAfter}); // any letter case
    QCOMPARE(OpenAICompatibleClient::map(status, body, provider, headers).description(), expected.description());
    QVERIFY(OpenAICompatibleClient::map(status, body, provider, headers) == expected);
}

void ChatWireTest::retryAfter_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<double>("seconds"); // -1: absent
    QTest::newRow("integer") << QByteArray("20") << 20.0;
    QTest::newRow("zero") << QByteArray("0") << 0.0;
    QTest::newRow("fraction") << QByteArray("0.25") << 0.25;
    QTest::newRow("leading dot") << QByteArray(".5") << 0.5;
    QTest::newRow("nan") << QByteArray("nan") << -1.0;
    QTest::newRow("inf") << QByteArray("inf") << -1.0;
    QTest::newRow("infinity") << QByteArray("Infinity") << -1.0;
    QTest::newRow("negative") << QByteArray("-5") << -1.0;
    QTest::newRow("plus sign") << QByteArray("+5") << -1.0;
    QTest::newRow("trailing letters") << QByteArray("12abc") << -1.0;
    QTest::newRow("space around") << QByteArray(" 12 ") << -1.0;
    QTest::newRow("hexadecimal") << QByteArray("0x10") << -1.0;
    QTest::newRow("exponent") << QByteArray("1e3") << -1.0;
    QTest::newRow("comma decimal") << QByteArray("1,5") << -1.0;
    QTest::newRow("empty") << QByteArray() << -1.0;
    QTest::newRow("too large to be finite") << QByteArray(400, '9') << -1.0;
}

void ChatWireTest::retryAfter()
{
    QFETCH(QByteArray, field);
    QFETCH(double, seconds);
    const std::optional<double> parsed = OpenAICompatibleClient::parseRetryAfter(field);
    if (seconds < 0)
        QVERIFY2(!parsed, qPrintable(QString::number(parsed.value_or(-1))));
    else
        QCOMPARE(parsed.value_or(-1), seconds);
}

void ChatWireTest::transportMapping_data()
{
    QTest::addColumn<TransportError::Code>("code");
    QTest::addColumn<bool>("sawAnyResponse");
    QTest::addColumn<AIError>("expected");
    using C = TransportError::Code;
    for (C c : {C::notConnectedToInternet, C::networkConnectionLost, C::cannotFindHost, C::cannotConnectToHost,
                C::dnsLookupFailed, C::secureConnectionFailed, C::other}) {
        QTest::addRow("code %d", int(c)) << c << false << AIError::networkUnavailable();
        QTest::addRow("code %d after a response", int(c)) << c << true << AIError::networkUnavailable();
    }
    QTest::newRow("time-out, nothing heard") << C::timedOut << false << AIError::modelDidNotRespond();
    QTest::newRow("time-out after lines") << C::timedOut << true << AIError::timedOut();
    QTest::newRow("cancelled") << C::cancelled << false << AIError::cancelled();
}

void ChatWireTest::transportMapping()
{
    QFETCH(TransportError::Code, code);
    QFETCH(bool, sawAnyResponse);
    QFETCH(AIError, expected);
    QVERIFY(OpenAICompatibleClient::map(TransportError{code, 0}, sawAnyResponse) == expected);
}

void ChatWireTest::endpoints_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("chat");
    QTest::addColumn<QString>("models");
    QTest::newRow("no trailing slash") << "https://a.test/api/v1" << "https://a.test/api/v1/chat/completions" << "https://a.test/api/v1/models";
    QTest::newRow("trailing slash") << "https://a.test/api/v1/" << "https://a.test/api/v1/chat/completions" << "https://a.test/api/v1/models";
    QTest::newRow("root") << "http://127.0.0.1:11434" << "http://127.0.0.1:11434/chat/completions" << "http://127.0.0.1:11434/models";
    QTest::newRow("query kept") << "https://a.test/v1?key=x" << "https://a.test/v1/chat/completions?key=x" << "https://a.test/v1/models?key=x";
    QTest::newRow("encoded path kept") << "https://a.test/my%20models/v1" << "https://a.test/my%20models/v1/chat/completions" << "https://a.test/my%20models/v1/models";
}

void ChatWireTest::endpoints()
{
    QFETCH(QString, base);
    QFETCH(QString, chat);
    QFETCH(QString, models);
    QCOMPARE(OpenAICompatibleClient::endpoint(QUrl(base), "chat/completions").toString(QUrl::FullyEncoded), chat);
    QCOMPARE(OpenAICompatibleClient::endpoint(QUrl(base), "models").toString(QUrl::FullyEncoded), models);
}

QTEST_GUILESS_MAIN(ChatWireTest)
#include "tst_ChatWire.moc"
