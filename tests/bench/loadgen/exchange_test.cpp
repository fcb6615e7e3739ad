// The candidate's side of both exchanges, fed one event at a time as the server would send them.
#include "bench/loadgen/exchange.h"

#include <gtest/gtest.h>

#include <functional>

using loadgen::CandidateExchange;
using loadgen::Step;
using What = Step::What;

TEST(CandidateExchange, FetchesInPiecesThenSubmitsOnANewConnection)
{
    const std::string paper = "0123456789";
    CandidateExchange e("s01", 40001, paper);
    Step s = e.onMessage("fINFmaths1.dat,10");
    EXPECT_EQ(s.what, What::Send);
    EXPECT_EQ(s.bytes, "infds01         40001");
    EXPECT_EQ(e.onFileConnected().bytes, "rqsF");
    // "over" goes only once the announced length has arrived.
    EXPECT_EQ(e.onFileData("0123").what, What::Nothing);
    EXPECT_EQ(e.onFileData("456").what, What::Nothing);
    s = e.onFileData("789");
    EXPECT_EQ(s.what, What::PaperReceived);
    EXPECT_EQ(s.bytes, "overmaths1.dat");
    // The server closes the file connection before its "finx": no failure.
    EXPECT_EQ(e.onFileClosed().what, What::Nothing);
    EXPECT_EQ(e.onMessage("finx").what, What::Fetched);
    EXPECT_EQ(e.papers(), 1);

    e.beginSubmit("ABCD0123");
    EXPECT_EQ(e.onMessage("fINFmaths1.dat,10").bytes, "rprts01         ABCD0123");
    EXPECT_EQ(e.onMessage("finx").what, What::Submitted);
    EXPECT_EQ(e.phase(), CandidateExchange::Phase::Done);
    EXPECT_EQ(e.onMessageClosed().what, What::Nothing);
}

TEST(CandidateExchange, AnswersEachPaperOfAListOnTheSameConnections)
{
    CandidateExchange e("multi", 5);
    e.onMessage("fINFa.dat,3");
    e.onFileConnected();
    EXPECT_EQ(e.onFileData("abc").bytes, "overa.dat");
    EXPECT_EQ(e.onMessage("fINFb.dat,2").bytes, "infdmulti       5");
    EXPECT_EQ(e.onFileData("x").what, What::Nothing);
    EXPECT_EQ(e.onFileData("y").bytes, "overb.dat");
    EXPECT_EQ(e.onMessage("finx").what, What::Fetched);
    EXPECT_EQ(e.papers(), 2);
    EXPECT_EQ(e.paperName(), "b.dat");
}

TEST(CandidateExchange, IgnoresTagsItDoesNotKnow)
{
    CandidateExchange e("quiet", 5);
    EXPECT_EQ(e.onMessage("helo").what, What::Nothing);
    EXPECT_EQ(e.onMessage("fIN").what, What::Nothing);
    EXPECT_EQ(e.onMessage("fINFp.dat,1").what, What::Send);
    EXPECT_EQ(e.onMessage("rprt").what, What::Nothing);
    EXPECT_EQ(e.phase(), CandidateExchange::Phase::Fetch);
}

TEST(CandidateExchange, FailsOnWhatWouldLeaveARealCandidateWithoutItsPaper)
{
    struct Row {
        const char *name;
        std::function<Step(CandidateExchange &)> steps;
        const char *why;
    };
    const std::string paper = "abcdef";
    const auto announced = [](CandidateExchange &e) {
        e.onMessage("fINFp.dat,6");
        e.onFileConnected();
    };
    const Row rows[] = {
        { "refused login", [](CandidateExchange &e) { e.onMessage("fINFp.dat,6"); return e.onMessage("lgMo"); },
          "already logged in" },
        { "no comma", [](CandidateExchange &e) { return e.onMessage("fINFp.dat6"); }, "bad announcement" },
        { "length not digits", [](CandidateExchange &e) { return e.onMessage("fINFp.dat,6x"); }, "bad announcement" },
        { "too many bytes", [&](CandidateExchange &e) { announced(e); return e.onFileData("abcdefg"); },
          "more bytes than the 6 announced" },
        { "other bytes", [&](CandidateExchange &e) { announced(e); e.onFileData("abc"); return e.onFileData("dXf"); },
          "paper differs near byte 3" },
        { "file closed early", [&](CandidateExchange &e) { announced(e); e.onFileData("ab"); return e.onFileClosed(); },
          "closed after 2 of 6 bytes" },
        { "file closed before any byte", [&](CandidateExchange &e) { announced(e); return e.onFileClosed(); },
          "closed after 0 of 6 bytes" },
        { "finx before the paper", [](CandidateExchange &e) { e.onMessage("fINFp.dat,6"); return e.onMessage("finx"); },
          "finx before any paper" },
        { "message connection closed", [&](CandidateExchange &e) { announced(e); return e.onMessageClosed(); },
          "closed during the fetch" },
        { "second file connection", [&](CandidateExchange &e) { announced(e); return e.onFileConnected(); },
          "a second file connection" },
        { "announcement unlike the paper", [](CandidateExchange &e) {
             e.onMessage("fINFp.dat,4");
             e.onFileConnected();
             return e.onFileData("abcd");
         },
          "the paper has 6" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        CandidateExchange e("f", 7, paper);
        const Step s = row.steps(e);
        EXPECT_EQ(s.what, What::Failed);
        EXPECT_NE(s.why.find(row.why), std::string::npos) << s.why;
        EXPECT_EQ(e.phase(), CandidateExchange::Phase::Failed);
    }
}

TEST(CandidateExchange, AResultIsNotTakenAsStoredWithoutTheConfirmation)
{
    CandidateExchange e("late", 7);
    e.beginSubmit("00");
    e.onMessage("fINFp.dat,1");
    const Step s = e.onMessageClosed();
    EXPECT_EQ(s.what, What::Failed);
    EXPECT_NE(s.why.find("before the result was confirmed"), std::string::npos);
}
