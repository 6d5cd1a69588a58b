#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

namespace tamrel {

// The texts every screen shows for byte counts, ages and file counts. Stateless; every function
// may be called from any thread.
namespace Fmt {

// A byte count in decimal units (1 KB = 1,000 bytes): the number and the unit, always both,
// separated by one plain space ("0 bytes", "1 byte", "999 bytes", "12 KB", "1.5 MB", "3.27 GB").
// Fraction digits adapt to the unit: none for bytes and KB, one for MB, two from GB up, trailing
// zeros dropped; a value that rounds to 1,000 of a unit is written in the next one. The count is
// clamped to the largest signed 64-bit value first. The number uses the current locale's decimal
// separator (QLocale()).
QString bytes(uint64_t bytes);

struct SplitBytes {
    QString number;
    QString unit;
};

// bytes(count) split at its last plain space into number and unit (the space belongs to
// neither); a text without a space is returned whole as the number with an empty unit.
SplitBytes split(uint64_t bytes);
SplitBytes splitText(const QString& text);

// How long before `now` the moment `date` was: "today" (less than a day, or in the future),
// "yesterday", "N days ago" (2-29), "a month ago" (30-59 days), "N months ago" (N = days / 30,
// 60-364 days), "a year ago" (365-729 days), "N years ago" (N = days / 365). Fixed English, plain
// digits.
QString age(const QDateTime& date, const QDateTime& now);
QString ageSeconds(int64_t secondsAgo);

// "1 file", or the count with the current locale's grouping and " files" (also for 0).
QString files(int64_t count);

}  // namespace Fmt
}  // namespace tamrel
