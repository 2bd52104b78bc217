// A Qt window with one text field, typed into by the end-to-end tests: a line edit, or a plain text
// edit with "--multi-line". It prints its whole text as a JSON array of one string on start and on
// every change, so the test reads back each state the field went through.
//   mosaiko-test-text-client TITLE WINDOW-CLASS [--multi-line]   (an empty class keeps Qt's own)
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <cstdio>

namespace {

void report(const QString& text) {
    const QByteArray line = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && argv[2][0] != '\0') QApplication::setApplicationName(QString::fromLocal8Bit(argv[2]));
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const QString title = arguments.value(1, QStringLiteral("text client"));
    const bool multiLine = arguments.contains(QStringLiteral("--multi-line"));

    QWidget* field = nullptr;
    if (multiLine) {
        auto* edit = new QPlainTextEdit;
        QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit] { report(edit->toPlainText()); });
        field = edit;
    } else {
        auto* edit = new QLineEdit;
        QObject::connect(edit, &QLineEdit::textChanged, edit, &report);
        field = edit;
    }
    field->setWindowTitle(title);
    field->resize(480, multiLine ? 160 : 40);
    field->show();
    field->activateWindow();
    field->setFocus();
    report(QString());
    const int result = QApplication::exec();
    delete field;
    return result;
}
