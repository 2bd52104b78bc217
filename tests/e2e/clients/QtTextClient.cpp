// A Qt window with one text field, typed into by the end-to-end tests: a line edit, or a plain text
// edit with "--multi-line". It prints its whole text as a JSON array of one string on start and on
// every change, so the test reads back each state the field went through. With "--erasing-late" the
// line edit applies each BackSpace 40 ms after the one before, busy meanwhile (its event loop never
// sleeps) and taking other keys at once, as a client that works through a run of BackSpaces after
// the keys that follow them.
//   mosaiko-test-text-client TITLE WINDOW-CLASS [--multi-line | --erasing-late]   (an empty class
//   keeps Qt's own)
#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>

namespace {

void report(const QString& text) {
    const QByteArray line = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    std::fflush(stdout);
}

// Takes the BackSpaces of a line edit and applies each 40 ms after the one before.
class LateErasing : public QObject {
  public:
    explicit LateErasing(QLineEdit* edit) : QObject(edit), edit_(edit) { edit->installEventFilter(this); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_Backspace)
            return QObject::eventFilter(watched, event);
        if (pending_++ == 0) {
            since_.start();
            QTimer::singleShot(0, this, [this] { work(); });
        }
        return true;
    }

  private:
    // Goes round the event loop without sleeping until the next BackSpace is due.
    void work() {
        if (since_.elapsed() >= 40) {
            edit_->backspace();
            since_.start();
            if (--pending_ == 0) return;
        }
        QTimer::singleShot(0, this, [this] { work(); });
    }

    QLineEdit* edit_;
    int pending_ = 0;
    QElapsedTimer since_;
};

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
        if (arguments.contains(QStringLiteral("--erasing-late"))) new LateErasing(edit);
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
