#include "job/TargetList.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

// Rows are written with Q for a double quote and _ for a blank, so that the cases read as the
// command lines they stand for.
std::string Decode(std::string s) {
    for (char& c : s) {
        if (c == 'Q') c = '"';
        if (c == '_') c = ' ';
    }
    return s;
}

struct SplitCase {
    const char* text;
    int count;
    // What a job walking the list takes, up to and including the first empty target.
    std::vector<std::string> walk;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << '[' << c.text << ']';
}

class TargetListSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(TargetListSplit, CountsAndProducesTargets) {
    const SplitCase& c = GetParam();
    TargetList list;
    ASSERT_EQ(list.SetText(Decode(c.text)), 1);
    EXPECT_EQ(list.CountTargets(), c.count);
    EXPECT_EQ(list.m_nCount, c.count);

    std::vector<std::string> walk;
    for (;;) {
        const std::string t = list.NextTarget();
        walk.push_back(t);
        if (t.empty()) break;
    }
    std::vector<std::string> expected;
    for (const std::string& t : c.walk)
        expected.push_back(Decode(t));
    if (expected.empty() || !expected.back().empty()) expected.push_back("");
    EXPECT_EQ(walk, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, TargetListSplit,
    ::testing::Values(
        SplitCase{R"(C:\a.txt_C:\b.txt)", 2, {R"(C:\a.txt)", R"(C:\b.txt)"}},
        SplitCase{R"(QC:\x_y\f.txtQ_QC:\z\g.txtQ)", 2, {R"(C:\x_y\f.txt)", R"(C:\z\g.txt)"}},
        SplitCase{R"(C:\a.txt_QC:\b_c.txtQ)", 2, {R"(C:\a.txt)", R"(C:\b_c.txt)"}},
        SplitCase{"Qp_qQ_r", 2, {"p_q", "r"}}, SplitCase{"x_Qa_bQ_y", 3, {"x", "a_b", "y"}},
        SplitCase{"abQc_dQ_e", 2, {"abQc_d", "e"}}, SplitCase{"QaQb_c", 1, {"aQb_c"}},
        SplitCase{"a_Qb", 2, {"a", "b"}}, SplitCase{"a_", 1, {"a"}},
        SplitCase{"a__b", 3, {"a", ""}}, SplitCase{"_a", 2, {""}}, SplitCase{"Q", 0, {}},
        // An unclosed quote runs to the end; only the opening quote goes.
        SplitCase{"Qa_b_c", 1, {"a_b_c"}},
        // Tabs are ordinary characters.
        SplitCase{"a\tb_c", 2, {"a\tb", "c"}},
        // Quotes that close in the middle of a path stay in it.
        SplitCase{"QaQ_QbQ", 2, {"a", "b"}}, SplitCase{"QQ", 1, {""}}, SplitCase{"_", 1, {""}}));

TEST(TargetList, GetTargetIsVerbatimAndBoundedByTheCount) {
    TargetList list;
    list.SetText(Decode("x_Qa_bQ_y"));
    struct Row {
        int n;
        const char* raw;
    };
    for (const Row& r :
         {Row{1, "x"}, Row{2, "Qa_bQ"}, Row{3, "y"}, Row{4, ""}, Row{0, ""}, Row{-1, ""}}) {
        EXPECT_EQ(list.GetTarget(r.n), Decode(r.raw)) << "n=" << r.n;
        EXPECT_EQ(list.m_strCurrent, Decode(r.raw));
    }
    // GetTarget does not move the walk.
    EXPECT_EQ(list.m_nIndex, 0);
}

TEST(TargetList, EmptyTextIsRefusedAndKeepsTheCount) {
    TargetList list;
    EXPECT_EQ(list.SetText(""), 0);
    EXPECT_EQ(list.m_nCount, 0);
    EXPECT_EQ(list.NextTarget(), "");

    list.SetText("a b");
    EXPECT_EQ(list.NextTarget(), "a");
    EXPECT_EQ(list.SetText(""), 0);
    EXPECT_EQ(list.m_strText, "");
    EXPECT_EQ(list.m_nCount, 2);
    EXPECT_EQ(list.m_nIndex, 1);
    // The stale count finds nothing in the empty text.
    EXPECT_EQ(list.NextTarget(), "");
}

TEST(TargetList, NewTextDoesNotRewindTheWalk) {
    TargetList list;
    list.SetText("a b c");
    list.NextTarget();
    list.NextTarget();
    list.SetText("p q r s");
    EXPECT_EQ(list.m_nIndex, 2);
    EXPECT_EQ(list.NextTarget(), "r");
    EXPECT_EQ(list.NextTarget(), "s");
    EXPECT_EQ(list.NextTarget(), "");
    EXPECT_EQ(list.NextTarget(), "");
    EXPECT_EQ(list.m_nIndex, 4);
}

TEST(TargetList, ManyTargets) {
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        if (i) text += ' ';
        text += (i % 2) ? "\"C:\\dir with blanks\\f" + std::to_string(i) + ".txt\""
                        : "C:\\f" + std::to_string(i);
    }
    TargetList list;
    list.SetText(text);
    ASSERT_EQ(list.CountTargets(), 2000);
    for (int i = 0; i < 2000; ++i) {
        const std::string expected = (i % 2) ? "C:\\dir with blanks\\f" + std::to_string(i) + ".txt"
                                             : "C:\\f" + std::to_string(i);
        ASSERT_EQ(list.NextTarget(), expected) << i;
    }
    EXPECT_EQ(list.NextTarget(), "");
}

}  // namespace
