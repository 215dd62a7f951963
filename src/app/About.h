#pragma once
// The About window: picture, two links, notice line, version and build stamp.

#include <QDialog>
#include <QString>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;

namespace tarnel {

// Opens a web address with the desktop's handler. Replaceable so tests open nothing.
using UrlOpener = std::function<void(const QString& address)>;
UrlOpener SetUrlOpener(UrlOpener opener);

inline constexpr char kFirstWebAddress[] = "https://tarnel.example/";
inline constexpr char kSecondWebAddress[] = "https://boards.example/";

class TFabout : public QDialog {
    Q_OBJECT
public:
    // `executablePath` is the file whose version record the window shows.
    TFabout(QWidget* owner, const QString& executablePath);

    QLabel* Labout = nullptr;
    QFrame* Panel = nullptr;
    QLabel* Image = nullptr;
    QLabel* Lversion = nullptr;
    QLabel* Lcompiletime = nullptr;
    QPushButton* Bok = nullptr;
    QLabel* Llink = nullptr;
    QLabel* Llink2 = nullptr;

    void FormCreate(QObject* sender);
    void LlinkClick(QObject* sender);
    void Llink2Click(QObject* sender);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString executablePath_;
};

}  // namespace tarnel
