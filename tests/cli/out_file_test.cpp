// The --out file on a disk that fills up and frees again, a flush that fails,
// and an outage longer than what is held: every reading lands in the file
// exactly once, in order, as whole lines; each outage is told once when it
// starts and once when it ends. The disk is a stand-in that takes bytes only
// while it has room, as a full file system does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/OutFile.h"
#include "framework/core/Files.h"

namespace tempolog {
namespace {

constexpr std::size_t kUnlimited = std::string::npos;

struct Disk {
  std::string file;
  std::size_t room = kUnlimited;  // the most the file can hold
  bool syncFails = false;
};

class TDiskTarget : public TLogTarget {
 public:
  explicit TDiskTarget(Disk& disk) : disk_(disk) {}
  int Append(std::string_view bytes) override {
    const std::size_t free = disk_.room == kUnlimited
                                 ? bytes.size()
                                 : disk_.room - std::min(disk_.room, disk_.file.size());
    disk_.file += bytes.substr(0, free);
    return free < bytes.size() ? ENOSPC : 0;
  }
  int Truncate(std::uint64_t size) override {
    disk_.file.resize(static_cast<std::size_t>(size));
    return 0;
  }
  int Sync() override { return disk_.syncFails ? EIO : 0; }

 private:
  Disk& disk_;
};

std::string Line(std::size_t n) {
  char text[64];
  std::snprintf(text, sizeof text, "2026-12-09 %02zu:%02zu:%02zu\t%zu.5\r\n", n / 3600 % 24,
                n / 60 % 60, n % 60, n);
  return text;
}

std::size_t Count(const std::vector<std::string>& said, const std::string& part) {
  std::size_t n = 0;
  for (const std::string& text : said) n += text.find(part) != std::string::npos;
  return n;
}

TEST(OutFile, EveryReadingOnceInOrderThroughFullDisksAndFailedFlushes) {
  // A tick's disk: how much the file may hold (kUnlimited, or the bytes of
  // `lines` whole lines plus `extra`), and whether a flush fails.
  struct Tick {
    std::size_t lines = kUnlimited;
    std::size_t extra = 0;
    bool syncFails = false;
  };
  struct Row {
    std::string name;
    std::vector<Tick> ticks;
    std::size_t dropped;            // the oldest readings lost to the bound
    std::size_t lost;               // held readings still unwritten at the end
    std::vector<std::string> told;  // each said exactly once
  };
  // The system's own texts (the stand-in disk fails with C error numbers).
  const std::string noSpace = SystemErrorText(ENOSPC) + "; readings are held";
  const Tick ok;
  const Tick full{2, 10};  // room for two lines and a piece of the third
  const Tick badFlush{kUnlimited, 0, true};
  std::vector<Row> rows = {
      {"full for three ticks",
       {ok, ok, full, full, full, ok, ok},
       0,
       0,
       {"Cannot write file \"lab.log\". " + noSpace + " until it can be written (at most 604800)",
        "lab.log: written again, with the 3 readings held meanwhile"}},
      {"flush fails for two ticks",
       {ok, badFlush, badFlush, ok},
       0,
       0,
       {"Cannot write file \"lab.log\". " + SystemErrorText(EIO) + "; readings are held",
        "lab.log: written again, with the 2 readings held meanwhile"}},
      {"full from the start, then a failed flush",
       {Tick{0}, Tick{0}, badFlush, ok, ok},
       0,
       0,
       {noSpace, "with the 3 readings held meanwhile"}},
      {"still full when the recording ends",
       {ok, Tick{1, 5}, Tick{1, 5}},
       0,
       2,
       {noSpace, "lab.log: 2 readings held could not be written and are lost"}},
  };
  // A week and a little more at one reading a second: the oldest go.
  Row week{"more than a week", {}, 5, 0, {}};
  week.ticks.assign(kMaxHeldReadings + 5, Tick{0});
  week.ticks.push_back(ok);
  week.told = {noSpace,
               "lab.log: more than 604800 readings held; the oldest are dropped from now on",
               "lab.log: written again, with the 604805 readings held meanwhile but the oldest 5 "
               "dropped"};
  rows.push_back(week);

  for (const Row& row : rows) {
    Disk disk;
    std::vector<std::string> said;
    std::string expected;
    {
      TOutFile out("lab.log", std::make_unique<TDiskTarget>(disk), 0,
                   [&](const std::string& text) { said.push_back(text); });
      for (std::size_t n = 0; n < row.ticks.size(); ++n) {
        const Tick& tick = row.ticks[n];
        disk.room =
            tick.lines == kUnlimited ? kUnlimited : tick.lines * Line(0).size() + tick.extra;
        disk.syncFails = tick.syncFails;
        out.Append(Line(n));
        if (n >= row.dropped && n + row.lost < row.ticks.size()) expected += Line(n);
      }
    }
    EXPECT_EQ(disk.file, expected) << row.name;
    for (const std::string& text : row.told) {
      EXPECT_EQ(Count(said, text), 1u) << row.name << ": " << text;
    }
    EXPECT_EQ(said.size(), row.told.size()) << row.name;
  }
}

}  // namespace
}  // namespace tempolog
