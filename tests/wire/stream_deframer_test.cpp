#include "support/wire_text.h"
#include "wire/stream_deframer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tc;
using testing_support::wireText;

using Frames = std::vector<std::string>;

std::string framed(const std::string& content) {
    return wireText("<B>") + content + wireText("<E>");
}

Frames feedInPieces(StreamDeframer& d, const std::string& stream, std::size_t chunk) {
    Frames out;
    for (std::size_t i = 0; i < stream.size(); i += chunk) {
        Frames got = d.feed(std::string_view(stream).substr(i, chunk));
        out.insert(out.end(), got.begin(), got.end());
    }
    return out;
}

// Frames of different shapes: plain, multi-byte text (2, 3 and 4 bytes), a lone field, and garbage
// between two frames.
const Frames kContents = {wireText("31<F>10=1018<F>20=5<F>21=20240102030405<F>"),
                          wireText("8<F>27=caf\xc3\xa9<F>"),
                          wireText("7<F>10=\xe2\x82\xac\xf0\x9f\x98\x80<F>"), wireText("1<F>x")};

std::string sampleStream() {
    std::string s = "junk";
    s += framed(kContents[0]);
    s += framed(kContents[1]);
    s += "\r\n";
    s += framed(kContents[2]);
    s += framed(kContents[3]);
    return s;
}

TEST(StreamDeframer, WholeStreamGivesEachFrameWithoutItsStartAndEnd) {
    StreamDeframer d;
    EXPECT_EQ(d.feed(sampleStream()), kContents);
    EXPECT_EQ(d.pendingBytes(), 0u);
    EXPECT_EQ(d.stats().garbageBytes, 6u); // "junk" and "\r\n"
}

TEST(StreamDeframer, EverySplitPointGivesTheSameFrames) {
    const std::string stream = sampleStream();
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        StreamDeframer d;
        Frames got = d.feed(std::string_view(stream).substr(0, cut));
        Frames rest = d.feed(std::string_view(stream).substr(cut));
        got.insert(got.end(), rest.begin(), rest.end());
        EXPECT_EQ(got, kContents) << "cut at " << cut;
    }
    // Two cuts too, so a frame can be split in three.
    for (std::size_t a = 0; a <= stream.size(); ++a) {
        for (std::size_t b = a; b <= stream.size(); ++b) {
            StreamDeframer d;
            Frames got = d.feed(std::string_view(stream).substr(0, a));
            for (auto& f : d.feed(std::string_view(stream).substr(a, b - a)))
                got.push_back(f);
            for (auto& f : d.feed(std::string_view(stream).substr(b)))
                got.push_back(f);
            ASSERT_EQ(got, kContents) << "cuts at " << a << " and " << b;
        }
    }
}

TEST(StreamDeframer, OneByteChunksGiveTheSameFrames) {
    StreamDeframer d;
    EXPECT_EQ(feedInPieces(d, sampleStream(), 1), kContents);
}

TEST(StreamDeframer, ReadEndingExactlyAtAFrameStartDoesNotMergeFrames) {
    StreamDeframer d;
    EXPECT_EQ(d.feed(wireText("<B>A<E><B>")), Frames{"A"});
    EXPECT_TRUE(d.insideFrame());
    EXPECT_EQ(d.feed(wireText("B<E>")), Frames{"B"});
}

TEST(StreamDeframer, UnfinishedFrameIsCarriedOver) {
    StreamDeframer d;
    EXPECT_EQ(d.feed(wireText("<B>a<E><B>b")), Frames{"a"});
    EXPECT_EQ(d.pendingBytes(), 1u);
    EXPECT_EQ(d.feed(wireText("c<E>")), Frames{"bc"});
    EXPECT_EQ(d.pendingBytes(), 0u);
}

TEST(StreamDeframer, FrameStartsAloneAndEmptyFramesGiveNothing) {
    StreamDeframer d;
    EXPECT_TRUE(d.feed(wireText("<B><B><B>")).empty());
    EXPECT_EQ(d.pendingBytes(), 0u);
    EXPECT_TRUE(d.feed(wireText("<E><B><E>")).empty());
    EXPECT_EQ(d.feed(wireText("<B>ok<E>")), Frames{"ok"});
}

TEST(StreamDeframer, GarbageBeforeAFrameIsSkipped) {
    StreamDeframer d;
    EXPECT_TRUE(d.feed(wireText("HTTP/1.1 400<E> noise")).empty());
    EXPECT_EQ(d.feed(wireText("more<B>5<F>10=1<F><E>tail")), Frames{wireText("5<F>10=1<F>")});
    EXPECT_EQ(d.stats().garbageBytes, 27u);
}

TEST(StreamDeframer, CharacterSplitAcrossReadsIsDecodedWhole) {
    StreamDeframer d;
    // U+00E9 is C3 A9; the read ends between the two bytes.
    EXPECT_TRUE(d.feed(wireText("<B>27=caf\xc3")).empty());
    EXPECT_EQ(d.feed(wireText("\xa9<E>")), Frames{"27=caf\xC3\xA9"});
    EXPECT_EQ(d.stats().invalidUtf8, 0u);
}

TEST(StreamDeframer, InvalidUtf8IsReplacedAndTheFrameKept) {
    StreamDeframer d;
    // A lone continuation byte, a truncated 3-byte sequence before ASCII, and an overlong '/'.
    const Frames got = d.feed(wireText("<B>a\x80"
                                       "b\xe2\x82"
                                       "c\xc0\xaf<E>"));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], "a\xEF\xBF\xBD"
                      "b\xEF\xBF\xBD"
                      "c\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(d.stats().invalidUtf8, 1u);
}

TEST(StreamDeframer, OversizeFrameIsDroppedAndFramingResumes) {
    const std::string stream = framed("12345678") + framed("123456789") + "zz" + framed("ok");
    // Whole, and in every chunk size, the 9-byte frame goes and the frames around it stay.
    for (std::size_t chunk = 1; chunk <= stream.size(); ++chunk) {
        StreamDeframer d(8);
        EXPECT_EQ(feedInPieces(d, stream, chunk), (Frames{"12345678", "ok"})) << "chunk " << chunk;
        EXPECT_EQ(d.stats().oversizeDropped, 1u);
        EXPECT_EQ(d.pendingBytes(), 0u);
    }
}

TEST(StreamDeframer, CarryOverNeverGrowsPastTheCap) {
    StreamDeframer d(64);
    d.feed(wireText("<B>"));
    for (int i = 0; i < 100; ++i) {
        d.feed(std::string(10, 'x'));
        EXPECT_LE(d.pendingBytes(), 64u);
    }
    EXPECT_EQ(d.stats().oversizeDropped, 1u);
    // The end of the oversize frame is not taken for anything; the next start is.
    EXPECT_TRUE(d.feed(wireText("<E> stray<E>")).empty());
    EXPECT_EQ(d.feed(wireText("<B>next<E>")), Frames{"next"});
}

TEST(StreamDeframer, FrameStartInsideAPartialFrameAbandonsIt) {
    const std::string stream = wireText("<B>10=1<F>20=half<B>10=2<F><E>");
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        StreamDeframer d;
        Frames got = d.feed(std::string_view(stream).substr(0, cut));
        for (auto& f : d.feed(std::string_view(stream).substr(cut)))
            got.push_back(f);
        EXPECT_EQ(got, Frames{wireText("10=2<F>")}) << "cut at " << cut;
        EXPECT_EQ(d.stats().abandoned, 1u);
    }
}

TEST(StreamDeframer, ResetForgetsTheUnfinishedFrame) {
    StreamDeframer d;
    d.feed(wireText("<B>abc"));
    d.reset();
    EXPECT_EQ(d.pendingBytes(), 0u);
    EXPECT_TRUE(d.feed(wireText("def<E>")).empty());
}

TEST(StreamDeframer, SinkSeesFramesInOrder) {
    StreamDeframer d;
    std::string seen;
    d.feed(wireText("<B>a<E><B>b<E><B>c<E>"), [&](std::string_view f) { seen.append(f).push_back('|'); });
    EXPECT_EQ(seen, "a|b|c|");
}

} // namespace
