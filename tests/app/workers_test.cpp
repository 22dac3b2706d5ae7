#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QTableView>
#include <QThread>

#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include "app/gui/main_window.h"
#include "core/settings.h"

namespace {

using app::kOrderList;
using app::Text;
using web::gbk;

class Workers : public ::testing::Test {
 protected:
  Workers() : m_settings(std::filesystem::temp_directory_path() / "weihe-workers-none.ini") {}
  app::Settings m_settings;
  app::MainWindow m_window{m_settings, nullptr};
};

TEST_F(Workers, ConcurrentLogAndRowWritesStayWhole) {
  constexpr int kThreads = 8, kEach = 150;
  for (int t = 0; t < kThreads; ++t) {
    m_window.start_worker([this, t] {
      for (int i = 0; i < kEach; ++i) {
        const std::string tag = std::to_string(t) + ":" + std::to_string(i);
        m_window.append_log(gbk("线程") + tag + gbk("完成\r\n"));
        int row = m_window.append_row(kOrderList, {tag, tag});
        m_window.set_cell(kOrderList, row, 22, tag);
      }
    });
  }
  ASSERT_TRUE(m_window.wait_for_workers(std::chrono::seconds(60)));

  // Every log line arrived whole and exactly once.
  const Text log = m_window.text("编辑框6");
  std::set<Text> lines;
  std::size_t pos = 0, count = 0;
  while (pos < log.size()) {
    std::size_t end = log.find("\r\n", pos);
    ASSERT_NE(end, Text::npos);
    Text line = log.substr(pos, end - pos);
    ASSERT_EQ(line.rfind(gbk("线程"), 0), 0u) << line;
    ASSERT_EQ(line.substr(line.size() - gbk("完成").size()), gbk("完成"));
    lines.insert(line);
    ++count;
    pos = end + 2;
  }
  EXPECT_EQ(count, std::size_t(kThreads * kEach));
  EXPECT_EQ(lines.size(), count);

  // Every row holds its own tag in every written cell (a row index returned by
  // append_row stays that row's until rows are deleted).
  ASSERT_EQ(m_window.row_count(kOrderList), kThreads * kEach);
  std::set<Text> tags;
  for (const app::OrderRow& row : m_window.rows(kOrderList)) {
    ASSERT_EQ(row.size(), 26u);
    EXPECT_EQ(row[0], row[1]);
    EXPECT_EQ(row[0], row[22]);
    tags.insert(row[0]);
  }
  EXPECT_EQ(tags.size(), std::size_t(kThreads * kEach));
}

TEST_F(Workers, WaitKeepsServingWorkersWithoutUserInput) {
  // A UI-thread operation waiting for something a worker does through the
  // window must not deadlock.
  std::atomic<bool> worker_done{false};
  m_window.start_worker([&] {
    m_window.set_text("编辑框13", "42");
    worker_done = true;
  });
  // The busy cursor shows for as long as the wait lasts, and only then.
  Qt::CursorShape during = Qt::ArrowCursor;
  m_window.wait([&] {
    if (const QCursor* c = QGuiApplication::overrideCursor()) during = c->shape();
    while (!worker_done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  EXPECT_EQ(during, Qt::WaitCursor);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(m_window.text("编辑框13"), "42");
  // A job's exception reaches the caller.
  EXPECT_THROW(m_window.wait([] { throw std::runtime_error("x"); }), std::runtime_error);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  ASSERT_TRUE(m_window.wait_for_workers(std::chrono::seconds(10)));
}

TEST_F(Workers, AfterCloseWorkerCallsReturnDefaultsAndEndPromptly) {
  m_window.show();
  std::atomic<bool> go{false};
  std::atomic<int> answers_after_close{0};
  for (int t = 0; t < 4; ++t) {
    m_window.start_worker([&] {
      while (!go) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      for (int i = 0; i < 1000; ++i) {
        m_window.append_row(kOrderList, {"x"});
        if (m_window.message_box("?", {}, app::Buttons::YesNo) == app::Answer::No)
          ++answers_after_close;
      }
    });
  }
  m_window.set_message_handler(
      [](const Text&, const Text&, app::Buttons) { return app::Answer::Yes; });
  go = true;
  QCoreApplication::processEvents();
  m_window.close();
  EXPECT_TRUE(m_window.closed());
  ASSERT_TRUE(m_window.wait_for_workers(std::chrono::seconds(20)));
  EXPECT_GT(answers_after_close, 0);  // once closed, a question is answered No
  EXPECT_EQ(m_window.running_workers(), 0);
}

// Counts paint events reaching a widget.
struct PaintCounter : QObject {
  explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

TEST_F(Workers, RowsFromAWorkerRepaintTheListPerFrameNotPerRow) {
  constexpr int kRows = 400;
  auto* view = m_window.findChild<QTableView*>(QString::fromUtf8("超级列表框1"));
  PaintCounter counter(view->viewport());
  m_window.show();
  for (int i = 0; i < 100 && counter.paints == 0; ++i) {  // until first shown
    QCoreApplication::processEvents();
    QThread::msleep(5);
  }
  ASSERT_GT(counter.paints, 0);
  counter.paints = 0;
  QElapsedTimer clock;
  clock.start();
  m_window.start_worker([this] {
    for (int i = 0; i < kRows; ++i) {
      // Each row is there for the caller as soon as the call returns.
      const int r = m_window.append_row(kOrderList, {std::to_string(i)});
      if (r != i || m_window.cell(kOrderList, r, 0) != std::to_string(i)) return;
    }
  });
  ASSERT_TRUE(m_window.wait_for_workers(std::chrono::seconds(60)));
  EXPECT_EQ(m_window.row_count(kOrderList), kRows);
  // The view catches up within a frame or so, and paints.
  for (int i = 0; i < 200 && (view->model()->rowCount() < kRows || counter.paints == 0); ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(5);
  }
  EXPECT_EQ(view->model()->rowCount(), kRows);
  EXPECT_GT(counter.paints, 0);
  // About one paint a frame, however fast or slow the machine appends.
  EXPECT_LE(counter.paints, clock.elapsed() / 10 + 5) << clock.elapsed() << " ms";
}

TEST_F(Workers, AWorkersOperationIsGoneBeforeItCountsAsEnded) {
  // What an operation holds may refer to things torn down once the workers
  // are through; it must not outlive the count.
  std::atomic<bool> released{false};
  struct Holder {
    explicit Holder(std::atomic<bool>* flag) : released(flag) {}
    std::atomic<bool>* released;
    ~Holder() {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      *released = true;
    }
  };
  auto holder = std::make_shared<Holder>(&released);
  m_window.start_worker([holder] {});
  holder.reset();
  ASSERT_TRUE(m_window.wait_for_workers(std::chrono::seconds(10)));
  EXPECT_TRUE(released);
}

TEST_F(Workers, FailingOperationDoesNotTakeTheProgramDown) {
  m_window.start_worker([] { throw std::runtime_error("boom"); });
  m_window.start_worker({});  // an unbound operation does nothing
  EXPECT_TRUE(m_window.wait_for_workers(std::chrono::seconds(10)));
}

}  // namespace
