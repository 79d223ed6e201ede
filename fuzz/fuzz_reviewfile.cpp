// Review files, which the site and the explorer share: any file reads; what is read is written and
// reads back field for field, as far as the readers' line length lets a field go; and the Reviews
// page's changes, merged into the file, touch no byte of the records they leave alone.

#include "FuzzSupport.h"
#include "reviews/ReviewMerge.h"

namespace {

// A field the reader gave comes back whole when its line fits; else as the longest beginning that
// fits, cut between characters.
bool SameLine(const QString& back, const QString& read)
{
    const qsizetype bytes = read.toUtf8().size();
    if (bytes <= kMaxWrittenLineBytes)
        return back == read;
    return read.startsWith(back) && back.toUtf8().size() > kMaxWrittenLineBytes - 4;
}

// A text comes back with the same characters, long lines wrapped; in a line of nothing but TABs
// one may have become a space. Texts whose lines all fit come back as they were.
bool SameText(const QString& back, const QString& read)
{
    bool fits = true;
    for (const QString& line : read.split(QStringLiteral("\r\n")))
        fits = fits && line.toUtf8().size() <= kMaxWrittenLineBytes;
    if (fits)
        return back == read;
    const auto flat = [](QString text) { return text.remove(QStringLiteral("\r\n")).replace(u'\t', u' '); };
    return flat(back) == flat(read);
}

bool SameAsWritten(const CReview& back, const CReview& read)
{
    return SameLine(back.name, read.name) && SameLine(back.email, read.email) &&
           back.anonymous == read.anonymous && SameLine(back.date, read.date) &&
           SameText(back.text, read.text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = FuzzSupport::Bytes(data, size);
    QList<CReview> reviews;
    FUZZ_CHECK(ReadReviewFile(FuzzSupport::InputFile(data, size), reviews));
    FUZZ_CHECK(reviews == ReviewsIn(input));

    const QString copy = FuzzSupport::WorkDirectory() + QStringLiteral("/copy.txt");
    FUZZ_CHECK(WriteReviewFile(copy, reviews));
    QList<CReview> again;
    FUZZ_CHECK(ReadReviewFile(copy, again));
    FUZZ_CHECK(again.size() == reviews.size());
    for (qsizetype i = 0; i < reviews.size(); ++i)
        FUZZ_CHECK(SameAsWritten(again[i], reviews[i]));

    // The page's changes: none keeps every byte; then the first edited, the last taken out and one
    // added.
    CReviewList list;
    list.Reset(reviews);
    FUZZ_CHECK(MergeReviews(input, list) == input);
    if (reviews.isEmpty())
        return 0;
    const SiteRecords split = SplitRecords(input, true);
    CReview edited = reviews.first();
    edited.name = QStringLiteral("Edited");
    const CReview added{QStringLiteral("Added"), QStringLiteral("a@example.org"), true,
                        QStringLiteral("today"), QStringLiteral("One\r\nTwo")};
    list.Replace(0, edited);
    if (reviews.size() > 1)
        list.RemoveAt(int(reviews.size() - 1));
    list.Append(added);
    const QByteArray merged = MergeReviews(input, list);
    const QList<CReview> after = ReviewsIn(merged);
    FUZZ_CHECK(after.size() == list.Reviews().size());
    for (qsizetype i = 0; i < after.size(); ++i)
        FUZZ_CHECK(i == 0 ? SameAsWritten(after[i], edited) : after[i] == list.Reviews()[i]);
    // Byte for byte: the edited record in its place, the ones left alone as they were, the added
    // one after them, then whatever followed the last record.
    const auto bytesOf = [&](qsizetype first, qsizetype last) {
        return input.mid(split.records[first].start, split.records[last].end - split.records[first].start);
    };
    const qsizetype kept = reviews.size() > 1 ? reviews.size() - 2 : 0;
    QByteArray expected = edited == reviews.first() ? bytesOf(0, 0) : FormatReviewRecord(edited);
    if (kept > 0)
        expected += bytesOf(1, kept);
    if (!expected.endsWith('\n') && !expected.endsWith('\r'))
        expected += "\r\n";
    expected += FormatReviewRecord(added) + input.mid(split.end);
    FUZZ_CHECK(merged == expected);
    return 0;
}
