#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <map>

#include "WindowParts.h"
#include "app/About.h"
#include "app/Action.h"
#include "app/SimWindowFixture.h"
#include "support/ImageFile.h"

namespace tarnel::test {
namespace {

class ProgramAction : public SimWindowFixture {
protected:
    // Writes an image file of `words` (address -> value) and puts it in the file box.
    void UseImage(const std::map<unsigned, std::uint16_t>& words) {
        const std::string path = dir_.filePath("image.rom").toStdString();
        WriteImageFile(path, words);
        Efilename(*window)->setText(QString::fromStdString(path));
        image_ = words;
    }

    void ExpectFlashHoldsTheImage() const {
        for (unsigned address = 0; address < 32768; ++address) {
            const auto it = image_.find(address);
            const std::uint16_t expected = it == image_.end() ? 0xFFFF : it->second;
            ASSERT_EQ(simulator->flash().Word(address), expected) << "word " << address;
        }
    }

    // Number of writes that are status reads of the mailbox command word.
    std::size_t MailboxPolls() const {
        std::size_t polls = 0;
        for (const auto& hex : WritesFrom(0)) {
            // read of 0x800000F1: command word with bit 31 set, then the answer request
            if (hex.find("CA3130303030303F38A7EB8FE386A3CA7070707070707070") != std::string::npos) {
                ++polls;
            }
        }
        return polls;
    }

    std::map<unsigned, std::uint16_t> image_;
};

TEST_F(ProgramAction, ProgramsEveryNonBlankPageAndDetaches) {
    Start();
    UseImage({{3 * 256 + 17, 0x1234}, {100 * 256 + 255, 0x0000}, {5 * 256, 0xFFFF}});
    Bprogram(*window)->click();
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(ExitCode(), 0);
    ExpectFlashHoldsTheImage();
    EXPECT_TRUE(QRegularExpression(R"(^Done in \d+\.\d\d seconds\.$)")
                    .match(window->statusText())
                    .hasMatch())
        << window->statusText().toStdString();
    EXPECT_EQ(Progress(*window)->maximum(), 1);  // pages 3 and 100
    EXPECT_EQ(Progress(*window)->value(), 1);
    EXPECT_FALSE(simulator->AdapterOpen());
    EXPECT_TRUE(simulator->target().Running());
    EXPECT_FALSE(Attached());
    EXPECT_EQ(simulator->ProtocolErrorCount(), 0u) << simulator->ProtocolErrors().front();
    EXPECT_EQ(LinkAutoFlush(), 1);
}

TEST_F(ProgramAction, KeepsTheUsersAttachment) {
    Start();
    SBattach(*window)->click();
    ASSERT_TRUE(Attached());
    UseImage({{0, 0x0001}});
    const auto before = Trace().size();
    Bprogram(*window)->click();
    EXPECT_TRUE(reports.empty());
    ExpectFlashHoldsTheImage();
    EXPECT_TRUE(Attached());
    EXPECT_TRUE(simulator->AdapterOpen());
    EXPECT_TRUE(simulator->target().Running());
    const auto trace = Trace();
    for (auto line = trace.begin() + static_cast<std::ptrdiff_t>(before); line != trace.end();
         ++line) {
        EXPECT_EQ(line->rfind("FT_Open", 0), std::string::npos);
        EXPECT_EQ(line->rfind("FT_Close", 0), std::string::npos);
    }
    // Run control still works on the same attachment.
    ACstop(*window)->execute();
    EXPECT_FALSE(simulator->target().Running());
    EXPECT_TRUE(reports.empty());
}

TEST_F(ProgramAction, AllBlankImageErasesAndProgramsNoPage) {
    Start();
    UseImage({{0x10, 0xFFFF}});
    Bprogram(*window)->click();
    EXPECT_TRUE(reports.empty());
    ExpectFlashHoldsTheImage();
    EXPECT_EQ(Progress(*window)->maximum(), 0);
    EXPECT_GE(Progress(*window)->minimum(), 0);
    EXPECT_TRUE(window->statusText().startsWith("Done in "));
}

struct FailureCase {
    const char* name;
    const char* faults;
    bool userAttached;
    const char* report;  // also the status text after the request
    int exitCode;
};

TEST_F(ProgramAction, FailuresReportDetachAndShowTheFailureInTheStatusBar) {
    const FailureCase cases[] = {
        {"erase answers 2", "erase-error", false, "Mass erase error", 1},
        {"erase never ends", "erase-busy", false, "Mass erase error", 1},
        {"page answers 2", "page-error=3", false, "Page programming error", 1},
        {"busy for ten polls", "busy-polls=10", false, "Mass erase error", 1},
        // Writes: 3 of the attach, the set-up, 14 of the preparation; the 20th is the
        // second full buffer of the upload. The user's own attach adds its set-up write.
        {"upload transfer fails", "write-error=20", false, "Error uploading bootloader", 1},
        {"upload fails while the user is attached", "write-error=21", true,
         "Error uploading bootloader", 1},
        {"poll read fails", "read-error=2", false, "EICE communication error", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reports.clear();
        ResetReportState();
        Start(c.faults);
        window->setStatusText("before");
        if (c.userAttached) {
            SBattach(*window)->click();
            ASSERT_TRUE(Attached());
        }
        UseImage({{3 * 256, 0x0F0F}, {4 * 256 + 1, 0x1111}});
        QString statusWhileReported;
        SetMessageBoxService([&](const char* text, const char*, int) {
            statusWhileReported = window->statusText();
            reports.emplace_back(text);
            return 1;
        });
        Bprogram(*window)->click();
        EXPECT_EQ(reports, (std::vector<std::string>{c.report}));
        EXPECT_EQ(ExitCode(), c.exitCode);
        EXPECT_EQ(statusWhileReported, c.report);
        EXPECT_EQ(window->statusText(), c.report);
        EXPECT_FALSE(simulator->AdapterOpen());
        EXPECT_FALSE(Attached());
    }
}

TEST_F(ProgramAction, BusyBootloaderThatAnswersWithinTenPollsSucceeds) {
    Start("busy-polls=9");
    UseImage({{0, 0x0000}});
    Bprogram(*window)->click();
    EXPECT_TRUE(reports.empty());
    ExpectFlashHoldsTheImage();
    EXPECT_EQ(MailboxPolls(), 20u);  // erase and one page, ten reads each
}

TEST_F(ProgramAction, EraseThatStaysBusyIsGivenUpAfterExactlyTenPolls) {
    Start("erase-busy");
    UseImage({{0, 0x0000}});
    Bprogram(*window)->click();
    EXPECT_EQ(MailboxPolls(), 10u);
}

TEST_F(ProgramAction, PageFailureStopsBeforeTheNextPage) {
    Start("page-error=3");
    UseImage({{3 * 256, 0x0F0F}, {7 * 256, 0x1234}});
    Bprogram(*window)->click();
    EXPECT_EQ(reports, (std::vector<std::string>{"Page programming error"}));
    EXPECT_EQ(simulator->flash().Word(7 * 256), 0xFFFF);
    EXPECT_EQ(MailboxPolls(), 2u);  // erase, then the failing page's first answer
}

TEST_F(ProgramAction, FileAndAdapterFailuresLeaveTheAdapterAlone) {
    struct Case {
        const char* name;
        const char* faults;
        bool withImage;
        const char* report;
    };
    const Case cases[] = {
        {"empty file box", "", false, "Cannot read flash image"},
        {"no adapter", "no-adapter", true, "Dravin not found!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reports.clear();
        Start(c.faults);
        window->setStatusText("Done in 0.02 seconds.");  // an earlier request's
        if (c.withImage) {
            UseImage({{0, 0x1234}});
        }
        Bprogram(*window)->click();
        EXPECT_EQ(reports, (std::vector<std::string>{c.report}));
        EXPECT_EQ(window->statusText(), c.report);
        EXPECT_EQ(ExitCode(), 2);
        EXPECT_FALSE(simulator->AdapterOpen());
        if (!c.withImage) {
            EXPECT_TRUE(Trace().empty());  // the adapter was never touched
        }
    }
}

TEST_F(ProgramAction, CommandsThatUseTheLinkAreHeldOffWhileARequestRuns) {
    Start();
    window->show();
    UseImage({{0, 0x1234}});
    std::size_t traceAtClick = 0;
    std::size_t traceAfterClicks = 0;
    bool closedDuringRequest = true;
    // Fires at the request's first message processing point.
    QTimer::singleShot(0, window.get(), [&] {
        traceAtClick = Trace().size();
        SBattach(*window)->click();
        Bprogram(*window)->click();
        window->close();
        traceAfterClicks = Trace().size();
        closedDuringRequest = !window->isVisible();
    });
    Bprogram(*window)->click();
    EXPECT_EQ(traceAfterClicks, traceAtClick);
    EXPECT_FALSE(closedDuringRequest);
    EXPECT_TRUE(reports.empty());
    ExpectFlashHoldsTheImage();
    EXPECT_FALSE(Attached());
    // The close asked for during the request is carried out once it has ended.
    EXPECT_FALSE(window->isVisible());
}

TEST_F(ProgramAction, InputGivenDuringARequestStartsNothingAndShowsNoWindow) {
    Start();
    TFabout about(nullptr, QString());
    window->setAboutWindow(&about);
    window->show();
    UseImage({{0, 0x1234}, {9 * 256, 0x5678}});
    QApplication::setActiveWindow(window.get());
    Efilename(*window)->setFocus();
    ASSERT_TRUE(Efilename(*window)->hasFocus());
    bool aboutOpened = false;
    bool busyWhileFlashing = false;
    // A stray click on Program and Enter, queued while the request runs: they are served
    // only after its last status change.
    const auto queueStrayInput = [this] {
        QPushButton* program = Bprogram(*window);
        const QPointF centre = QRectF(program->rect()).center();
        const QPointF global = program->mapToGlobal(centre);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QCoreApplication::postEvent(
                program,
                new QMouseEvent(type, centre, global, Qt::LeftButton,
                                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                Qt::NoModifier));
        }
        QCoreApplication::postEvent(
            window.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
    };
    QObject::connect(
        window.get(), &TFmainform::statusTextChanged, window.get(), [&](const QString& text) {
            if (text == "Flashing...") {
                busyWhileFlashing =
                    !Bprogram(*window)->isEnabled() && !Efilename(*window)->isEnabled() &&
                    !SBattach(*window)->isEnabled() && !Bbrowse(*window)->isEnabled() &&
                    !ACabout(*window)->isEnabled() && QApplication::overrideCursor() != nullptr &&
                    QApplication::overrideCursor()->shape() == Qt::WaitCursor;
                // Had F1 opened About, it would be closed here and counted.
                QTimer::singleShot(0, &about, [&] {
                    if (about.isVisible()) {
                        aboutOpened = true;
                        about.reject();
                    }
                });
                QTest::keyClick(window.get(), Qt::Key_F1);
                queueStrayInput();
            } else if (text.startsWith("Done in ")) {
                queueStrayInput();
            }
        });
    Bprogram(*window)->click();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();

    EXPECT_TRUE(busyWhileFlashing);
    EXPECT_FALSE(aboutOpened);
    EXPECT_TRUE(reports.empty());
    ExpectFlashHoldsTheImage();
    std::size_t opens = 0;
    for (const auto& line : Trace()) {
        opens += line.rfind("FT_Open", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(opens, 1u);
    // Back as before: the commands that start work enabled, Run, Stop and Reset as the
    // (detached) target wants them, no wait cursor.
    EXPECT_TRUE(Bprogram(*window)->isEnabled());
    EXPECT_TRUE(Efilename(*window)->isEnabled());
    EXPECT_TRUE(SBattach(*window)->isEnabled());
    EXPECT_TRUE(ACabout(*window)->isEnabled());
    EXPECT_FALSE(Attached());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(Efilename(*window)->hasFocus());
}

// Counts the paint events of one widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

TEST_F(ProgramAction, ProgramAtStartWaitsUntilTheWindowIsOnScreenAndPainted) {
    Start("", {"-p"});
    const PaintCounter bar(Progress(*window));
    bool exposed = false;
    int paints = 0;
    SetMessageBoxService([&](const char* text, const char*, int) {
        exposed = window->windowHandle()->isExposed();
        paints = bar.paints;
        reports.emplace_back(text);
        return 1;
    });
    window->show();
    EXPECT_TRUE(reports.empty()) << "the request ran before the window was on screen";
    // The file box is empty: the request fails on the flash image and the window stays.
    ASSERT_TRUE(QTest::qWaitFor([this] { return !reports.empty(); }, 5000));
    EXPECT_TRUE(exposed);
    EXPECT_GT(paints, 0);
    EXPECT_EQ(reports, (std::vector<std::string>{"Cannot read flash image"}));
    EXPECT_EQ(ExitCode(), 2);
    EXPECT_TRUE(window->isVisible());
}

// Swallows every expose event, as a window shown on a hidden workspace gets none.
class NoExposeEvents : public QObject {
public:
    int swallowed = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Expose) {
            ++swallowed;
            return true;
        }
        return false;
    }
};

TEST_F(ProgramAction, ProgramAtStartRunsOnAWindowThatIsNeverExposed) {
    Start("", {"-p"});
    // Two words lie beyond the flash: programmed without them, and the Done text says so.
    UseImage({{0x0100, 0x2222}, {0x8000, 0x0001}, {0xFFFFFF, 0x0002}});
    NoExposeEvents noExpose;
    QCoreApplication::instance()->installEventFilter(&noExpose);
    window->show();
    const bool done = QTest::qWaitFor(
        [this] { return window->statusText().startsWith(QStringLiteral("Done")); }, 10000);
    QCoreApplication::instance()->removeEventFilter(&noExpose);
    ASSERT_TRUE(done) << window->statusText().toStdString();
    EXPECT_GT(noExpose.swallowed, 0);
    EXPECT_TRUE(reports.empty());
    ExpectFlashHoldsTheImage();
    EXPECT_TRUE(QRegularExpression(R"(^Done in \d+\.\d\d seconds\. 2 words beyond the flash )"
                                   R"(were not programmed\.$)")
                    .match(window->statusText())
                    .hasMatch())
        << window->statusText().toStdString();
}

TEST_F(ProgramAction, CloseAfterProgramEndsTheRunWithoutDetachingTheUsersAttachment) {
    Start("", {"-c"});
    UseImage({{0, 0x0001}});
    window->show();
    SBattach(*window)->click();
    ASSERT_TRUE(Attached());
    QTimer::singleShot(0, window.get(), [this] {
        // A close asked for during the request: the run's own end comes first, and the
        // close is not carried out after it.
        QTimer::singleShot(0, window.get(), [this] { window->close(); });
        Bprogram(*window)->click();
    });
    QTimer::singleShot(10000, window.get(), [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);  // ended by the close step, not by the time-out
    ExpectFlashHoldsTheImage();
    // The close handler did not run: the window is still open and the adapter attached.
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(simulator->AdapterOpen());
    EXPECT_TRUE(Attached());
}

}  // namespace
}  // namespace tarnel::test
