// The pieces around the job: the target list, the options, start-up, the log's texts and the
// write gatherer.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/MemoryProfileStore.h"
#include "app/Startup.h"
#include "base/Format.h"
#include "job/ProcessLog.h"
#include "job/TargetList.h"
#include "job/TextSource.h"
#include "support/TestLayer.h"
#include "wipe/WipeEngine.h"
#include "wipe/WriteGatherer.h"

namespace {

std::string Decode(std::string s) {
    for (char& c : s)
        c = c == 'Q' ? '"' : c == '_' ? ' ' : c;
    return s;
}

// Rows use Q for a double quote and _ for a blank: the targets a job walks, then GetTarget's
// verbatim pieces. (Blanks before, between and after plain targets, and an empty quoted one: the
// job tests' targets.)
TEST(TargetList, Splits) {
    const struct {
        const char* text;
        const char* walk;
        const char* verbatim;
    } rows[] = {
        {"QC:\\x_y\\f.txtQ_QC:\\z\\g.txtQ", "C:\\x_y\\f.txt|C:\\z\\g.txt|",
         "QC:\\x_y\\f.txtQ|QC:\\z\\g.txtQ|"},
        {"x_Qa_bQ_y", "x|a_b|y|", "x|Qa_bQ|y|"},
        {"abQc_dQ_e", "abQc_d|e|", "abQc_dQ|e|"},
        {"QaQb_c", "aQb_c|", "QaQb_c|"},
        {"a_Qb", "a|b|", "a|Qb|"},
        {"Q", "", ""},
        {"Qa_b_c", "a_b_c|", "Qa_b_c|"},
        {"a\tb_c", "a\tb|c|", "a\tb|c|"},
    };
    for (const auto& r : rows) {
        TargetList list;
        ASSERT_EQ(list.SetText(Decode(r.text)), 1);
        std::string walk, verbatim;
        for (int n = 1; n <= list.CountTargets() + 1; ++n) {
            verbatim += list.GetTarget(n) + (n <= list.CountTargets() ? "|" : "");
            walk += list.NextTarget() + (n <= list.CountTargets() ? "|" : "");
        }
        EXPECT_EQ(walk, Decode(r.walk)) << r.text;
        EXPECT_EQ(verbatim, Decode(r.verbatim)) << r.text;
        EXPECT_EQ(list.GetTarget(0), "");
    }
    // An empty text is refused and keeps the count; a new text does not rewind the walk.
    TargetList list;
    list.SetText("a b c");
    EXPECT_EQ(list.NextTarget(), "a");
    EXPECT_EQ(list.SetText(""), 0);
    EXPECT_EQ(list.m_nCount, 3);
    list.SetText("x y z");
    EXPECT_EQ(list.NextTarget(), "y");
}

// In range and not the default, so that each shows the name it was loaded from; in the order
// in which the save writes them.
const char kStored[] =
    "NDispN=2 NDispE=2 Dummy=2 DummySkip=2 nFiles=9 Date=2 rNull=0 rZLen=0 rRen=2 nOvwr=8 "
    "AddWipe=2 rAntiFolder=1 nAnticacheSize=15 bAntiOneShot=2 m_nOverrun=18 m_nDodChar=19 "
    "m_nBufferSize=17 Confirm=2 DispF=2 Log=2 bNotDel=2 ";

// Stores every value of kStored, or 12345 under each of its names.
void Store(ProfileStore& store, bool same) {
    std::istringstream in(kStored);
    for (std::string name, value; std::getline(in >> std::ws, name, '=') && in >> value;)
        store.WriteProfileInt(kSettingsSection, name.c_str(), same ? 12345 : std::stoi(value));
}

// Each value is loaded from its own name and saved under it again when it differs from what is
// stored; the quick delete's reload keeps bNotDel and takes a missing overrun as 1024, and so
// does the save's comparison.
TEST(Options, LoadReloadAndSave) {
    MemoryProfileStore store, empty, saved;
    WipeOptions o;
    o.Log = 5;
    LoadOptions(empty, o);
    EXPECT_TRUE(o == WipeOptions());
    Store(store, false);
    store.WriteProfileInt("Other", "nOvwr", 7);
    LoadOptions(store, o);
    EXPECT_FALSE(o == WipeOptions());
    SaveOptions(saved, o);
    std::string writes;
    for (const auto& w : saved.Writes())
        writes += w.entry + "=" + std::to_string(w.value) + " ";
    EXPECT_EQ(writes, kStored);
    o.bNotDel = 2;
    ReloadOptionsForQuickDelete(empty, o);
    WipeOptions expected;
    expected.bNotDel = 2;
    expected.m_nOverrun = 1024;
    EXPECT_TRUE(o == expected);
    SaveOptions(empty, o);
    EXPECT_EQ(empty.Writes().size(), 2u);  // bNotDel and the overrun, which was never stored
}

// A stored value out of its page's range loads as the nearest value the page takes, or as what
// the job makes of it (no overrun; the largest buffer; a non-zero choice is on), whichever way
// it is loaded; a value in range stays. An overrun confirmed on a fresh store comes back.
TEST(Options, LoadedValuesFitTheirPages) {
    const std::pair<const char*, const char*> rows[] = {
        // stored:loaded
        {"nOvwr", "0:1 1:1 50:50 51:50 -2147483648:1"},
        {"m_nBufferSize", "0:2048 1:1 2048:2048 2049:2048 -1:2048"},
        {"m_nOverrun", "-1:0 0:0 65536:65536 65537:0"},
        {"m_nDodChar", "-1:0 0:0 255:255 256:255"},
        {"nAnticacheSize", "0:1 1:1 100:100 101:100"},
        {"nFiles", "0:1 1:1 100:100 101:100"},
        {"rRen", "-1:1 0:0 2:2 3:1"},
        {"rNull", "-1:1 0:0"},
        {"rZLen", "1:1 2:1"},
        {"rAntiFolder", "2:1"},
        {"Log", "5:1 -1:1 0:0 2:2"},
        {"Confirm", "3:1"},
    };
    for (const auto& [name, cases] : rows) {
        std::istringstream in(cases);
        char colon;
        for (int32_t stored, loaded; in >> stored >> colon >> loaded;) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(stored));
            MemoryProfileStore store;
            store.WriteProfileInt(kSettingsSection, name, stored);
            WipeOptions got, reloaded;
            LoadOptions(store, got);
            ReloadOptionsForQuickDelete(store, reloaded);
            reloaded.m_nOverrun = name == std::string("m_nOverrun") ? reloaded.m_nOverrun : 0;
            EXPECT_TRUE(got == reloaded);
            // Saved over a store that holds every value, the loaded one shows by its name.
            MemoryProfileStore all;
            Store(all, true);
            SaveOptions(all, got);
            int32_t value = 12345;
            for (const auto& w : all.Writes())
                value = w.entry == name ? w.value : value;
            EXPECT_EQ(value, loaded);
        }
    }
    MemoryProfileStore fresh;
    WipeOptions o;
    o.m_nOverrun = 1024;
    SaveOptions(fresh, o);
    LoadOptions(fresh, o);
    EXPECT_EQ(o.m_nOverrun, 1024);
}

class Modes : public StartupModes {
public:
    bool installed = true, answer = true;
    std::string events;
    bool IsInstalled() override { return Add("installed?"), installed; }
    bool RunInstall() override { return Add("install"), answer; }
    void RunSettingsSheet(const WipeOptions& o) override {
        Add("sheet " + std::to_string(o.nOvwr));
    }
    bool RunUninstall() override { return Add("uninstall"), answer; }
    int RunJob(const std::string& text, std::string& log) override {
        Add("job [" + text + "] log [" + log + "]");
        log = "L";
        return 1;
    }
    void ShowLogViewer(const std::string& log) override { Add("viewer " + log); }
    void ShowError(const std::string& text) override { Add("error " + text); }
    void Add(const std::string& e) { events += e + "; "; }
};

TEST(Startup, Dispatch) {
    const struct {
        bool installed, answer;
        int32_t log;
        const char* commandLine;
        int result;
        const char* events;
    } rows[] = {
        {false, false, 1, "a", 0, "installed?; install; "},
        {false, true, 1, "", 1, "installed?; install; sheet 5; "},
        {true, true, 1, "/delete", 1, "installed?; uninstall; "},
        {true, false, 1, "/delete", 0, "installed?; uninstall; "},
        {true, true, 1, "/delete ", 1, "installed?; job [/delete ] log []; viewer L; "},
        {true, true, 1, "/DELETE", 1, "installed?; job [/DELETE] log []; viewer L; "},
        {true, true, 0, "a b", 1, "installed?; job [a b] log []; "},
    };
    for (const auto& r : rows) {
        Modes modes;
        modes.installed = r.installed;
        modes.answer = r.answer;
        MemoryProfileStore store;
        store.WriteProfileInt(kSettingsSection, "nOvwr", 5);
        store.WriteProfileInt(kSettingsSection, "Log", r.log);
        WipeOptions options;
        std::string log = "stale";
        EXPECT_EQ(RunStartup(modes, store, options, log, r.commandLine), r.result);
        EXPECT_EQ(modes.events, r.events) << r.commandLine;
    }
}

// Quoted, the path must fit 260 characters with the terminator, as Windows counts them, and
// hold no quote, which would split it into other targets.
TEST(Startup, QuickDelete) {
    TestLayer files;
    files.pretendWindows = true;
    EnglishTextSource texts;
    const std::string fits = std::string(254, 'a') + "\xF0\x9F\x98\x80";  // 256 units
    const std::string tooLong =
        "error The path is too long to be deleted (more than 257 characters):\r\n";
    const std::string quote =
        "error A file name cannot contain a double quote (\"), so nothing was deleted:\r\n";
    const std::pair<std::string, std::string> rows[] = {
        {fits, "job [\"" + fits + "\"] log []; viewer L; "},
        {fits + "b", "job [\"" + fits + "b\"] log []; viewer L; "},
        {fits + "bc", tooLong + fits + "bc; "},
        {"\"", quote + "\"; "},
    };
    for (const auto& [path, expected] : rows) {
        Modes modes;
        MemoryProfileStore store;
        store.WriteProfileInt(kSettingsSection, "bNotDel", 1);
        WipeOptions options;
        std::string log = "stale";
        EXPECT_EQ(QuickDelete(modes, store, options, log, files, texts, path), 1);
        EXPECT_EQ(modes.events, expected);
        EXPECT_EQ(options.bNotDel, 0);
        EXPECT_EQ(options.m_nOverrun, expected[0] == 'j' ? 1024 : 0);
    }
}

TEST(ProcessLog, HeaderAndReasons) {
    EnglishTextSource texts;
    WipeOptions o;
    EXPECT_EQ(processlog::Header(texts, o, 2),
              "Option :\r\n Change Date:ON, OverWrite:RND (3 times), Truncate Size:ON, "
              "ChangeName:ON\r\nProcess begining ( 2 files in queue)\r\n"
              "-----------------------------\r\n\r\n");
    o.Date = o.rNull = o.rZLen = 0;
    o.nOvwr = 7;
    const std::pair<int, const char*> renames[] = {
        {0, "ChangeName:OFF\r\n"}, {2, "ChangeName:ON(Win)\r\n"}, {3, ""}, {-1, ""}};
    const std::string off =
        "Option :\r\n Change Date:OFF, OverWrite:NULL (7 times), Truncate Size:OFF, ";
    for (const auto& r : renames) {
        o.rRen = r.first;
        const std::string header = processlog::Header(texts, o, 1);
        EXPECT_EQ(header.substr(0, header.find("Process")), off + r.second);
    }
    const std::pair<int, const char*> reasons[] = {{-1, "Other Error"},
                                                   {0, "Fail to get Attributes"},
                                                   {9, "Fail to Delete Dummy File"},
                                                   {10, "File Exceed 2Gbytes"},
                                                   {11, "Other Error"}};
    for (const auto& r : reasons)
        EXPECT_EQ(processlog::Reason(texts, r.first), r.second);
    EXPECT_EQ(FormatText("%d", 7), "7");
}

TEST(WipeEngine, AnticacheBytes) {
    const std::pair<int32_t, int64_t> rows[] = {
        {-1, 0}, {0, 0}, {1, 1 << 20}, {2047, 2047LL << 20}, {2048, 2047LL << 20}};
    for (const auto& r : rows)
        EXPECT_EQ(WipeEngine::AnticacheBytes(r.first), r.second);
}

// Each vector unit the processor has draws the stream of the four-lane one, through fills of
// any length with single draws between them. (The job's tests pin the stream itself.)
TEST(JobRandom, EveryVectorUnitDrawsTheSameBytes) {
    auto draw = [](int lanes) {
        JobRandom::LimitLanes(lanes);
        JobRandom random;
        random.Seed(0x5eed);
        std::string bytes;
        for (size_t size : {1, 63, 64, 2048, 4095, 5}) {
            std::string chunk(size, '\0');
            random.Fill(reinterpret_cast<uint8_t*>(&chunk[0]), size);
            bytes += chunk + static_cast<char>(random.Next());
        }
        JobRandom::LimitLanes(JobRandom::kLanes);
        return bytes;
    };
    const std::string byFour = draw(4);
    EXPECT_EQ(draw(8), byFour);
    EXPECT_EQ(draw(16), byFour);
}

// Keeps every block it is handed but the second, which fails.
class Sink : public BlockSink {
public:
    void WriteOut(const uint8_t* data, size_t size) override {
        if (++calls == 2) throw FileException(kCauseDiskFull, 112, "sink");
        bytes.append(reinterpret_cast<const char*>(data), size);
    }
    int calls = 0;
    std::string bytes;
};

// A failed block is thrown by the write that filled it, and every later call throws it again
// without touching the sink, rather than put bytes at the wrong place or report a flush that
// did not happen.
TEST(WriteGatherer, AFailedBlockStaysFailed) {
    Sink sink;
    WriteGatherer gather(sink);
    const std::string data(2048, 'd');
    const size_t perBlock = WriteGatherer::kBlockSize / data.size();
    for (size_t i = 0; i < 2 * perBlock - 1; ++i)
        gather.Write(data.data(), data.size());
    EXPECT_THROW(gather.Write(data.data(), data.size()), FileException);
    EXPECT_TRUE(gather.Failed());
    EXPECT_EQ(gather.Pending(), 0u);
    EXPECT_THROW(gather.Write(data.data(), 1), FileException);
    EXPECT_THROW(gather.Drain(), FileException);
    EXPECT_THROW(gather.Reset(0), FileException);
    EXPECT_EQ(sink.calls, 2);
    EXPECT_EQ(sink.bytes, std::string(WriteGatherer::kBlockSize, 'd'));
}

}  // namespace
