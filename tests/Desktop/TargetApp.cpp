// A small application to select text in: a line edit, a text edit and a password field. It
// prints every change of their contents on standard output ("line: ...", "text: ...") so that a
// test can see what was written into it. The text edit's text may come from a file, all of it
// selected (a selection of megabytes). With --own-clipboard it shows no window and holds the
// clipboard instead, in several formats, as a user's clipboard would be; with --own-primary the
// primary selection, with a file's text.
#include <QApplication>
#include <QClipboard>
#include <QCommandLineParser>
#include <QFile>
#include <QFormLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QTextEdit>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption line(QStringLiteral("line"), QStringLiteral("Text of the line edit."), QStringLiteral("text"));
    const QCommandLineOption text(QStringLiteral("text"), QStringLiteral("Text of the text edit."), QStringLiteral("text"));
    const QCommandLineOption textFile(QStringLiteral("text-file"), QStringLiteral("File holding the text of the text edit."),
                                      QStringLiteral("path"));
    const QCommandLineOption selectAll(QStringLiteral("select-all"), QStringLiteral("Focus the text edit, all of it selected."));
    const QCommandLineOption title(QStringLiteral("title"), QStringLiteral("Window title."), QStringLiteral("title"),
                                   QStringLiteral("Ambrel test target"));
    const QCommandLineOption ownClipboard(QStringLiteral("own-clipboard"), QStringLiteral("Hold the clipboard, show no window."));
    const QCommandLineOption ownPrimary(QStringLiteral("own-primary"), QStringLiteral("Hold the primary selection with a file's text, show no window."),
                                        QStringLiteral("path"));
    parser.addOptions({line, text, textFile, selectAll, title, ownClipboard, ownPrimary});
    parser.process(app);

    if (parser.isSet(ownPrimary)) {
        QFile file(parser.value(ownPrimary));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        QGuiApplication::clipboard()->setText(QString::fromUtf8(file.readAll()), QClipboard::Selection);
        std::printf("ready\n");
        std::fflush(stdout);
        return app.exec();
    }
    if (parser.isSet(ownClipboard)) {
        auto* mime = new QMimeData;
        mime->setText(QStringLiteral("the user's own"));
        mime->setHtml(QStringLiteral("<b>the user's own</b>"));
        mime->setData(QStringLiteral("application/x-ambrel-test"), QByteArray("\x00\x01\x02\xff binary", 11));
        QGuiApplication::clipboard()->setMimeData(mime, QClipboard::Clipboard);
        std::printf("ready\n");
        std::fflush(stdout);
        return app.exec();
    }

    QWidget window;
    window.setWindowTitle(parser.value(title));
    auto* form = new QFormLayout(&window);
    auto* lineEdit = new QLineEdit(parser.value(line));
    lineEdit->setObjectName(QStringLiteral("line"));
    lineEdit->setAccessibleName(QStringLiteral("line"));
    auto* textEdit = new QTextEdit;
    textEdit->setAcceptRichText(false);
    textEdit->setTabChangesFocus(true);
    if (parser.isSet(textFile)) {
        QFile file(parser.value(textFile));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        textEdit->setPlainText(QString::fromUtf8(file.readAll()));
    } else {
        textEdit->setPlainText(parser.value(text));
    }
    textEdit->setAccessibleName(QStringLiteral("text"));
    auto* password = new QLineEdit(QStringLiteral("secret"));
    password->setEchoMode(QLineEdit::Password);
    password->setAccessibleName(QStringLiteral("password"));
    form->addRow(QStringLiteral("Line"), lineEdit);
    form->addRow(QStringLiteral("Text"), textEdit);
    form->addRow(QStringLiteral("Password"), password);

    auto print = [](const char* what, const QString& value) {
        std::printf("%s: %s\n", what, value.toUtf8().constData());
        std::fflush(stdout);
    };
    QObject::connect(lineEdit, &QLineEdit::textChanged, [print](const QString& t) { print("line", t); });
    QObject::connect(textEdit, &QTextEdit::textChanged, [print, textEdit] { print("text", textEdit->toPlainText()); });

    window.resize(520, 260);
    window.move(100, 100);
    window.show();
    if (parser.isSet(selectAll)) {
        textEdit->setFocus();
        textEdit->selectAll();
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
