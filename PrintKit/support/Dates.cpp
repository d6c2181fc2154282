#include "PrintKit/support/Dates.h"

#include <cstdint>

namespace PrintKit::Dates {

namespace {

using namespace std::chrono;

int digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) {
        return -1;
    }
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return -1;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

void put(std::string& out, long value, int width) {
    std::string text = std::to_string(value < 0 ? -value : value);
    if (value < 0) {
        out.push_back('-');
    }
    for (int i = static_cast<int>(text.size()); i < width; ++i) {
        out.push_back('0');
    }
    out += text;
}

} // namespace

Timestamp now() { return system_clock::now(); }

std::string formatRFC3339(Timestamp time) {
    auto seconds = floor<std::chrono::seconds>(time);
    auto day = floor<days>(seconds);
    year_month_day date{day};
    hh_mm_ss<std::chrono::seconds> clock{seconds - day};
    std::string out;
    put(out, static_cast<int>(date.year()), 4);
    out.push_back('-');
    put(out, static_cast<unsigned>(date.month()), 2);
    out.push_back('-');
    put(out, static_cast<unsigned>(date.day()), 2);
    out.push_back('T');
    put(out, clock.hours().count(), 2);
    out.push_back(':');
    put(out, clock.minutes().count(), 2);
    out.push_back(':');
    put(out, clock.seconds().count(), 2);
    out.push_back('Z');
    return out;
}

std::optional<Timestamp> parseRFC3339(std::string_view text) {
    int year = digits(text, 0, 4);
    int month = digits(text, 5, 2);
    int dayOfMonth = digits(text, 8, 2);
    int hour = digits(text, 11, 2);
    int minute = digits(text, 14, 2);
    int second = digits(text, 17, 2);
    if (year < 0 || month < 0 || dayOfMonth < 0 || hour < 0 || minute < 0 || second < 0 || text[4] != '-' ||
        text[7] != '-' || (text[10] != 'T' && text[10] != 't') || text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                        std::chrono::day{static_cast<unsigned>(dayOfMonth)}};
    // A leap second (60) is accepted as RFC 3339 allows, and lands on the next second.
    if (!date.ok() || hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    std::size_t at = 19;
    nanoseconds fraction{0};
    if (at < text.size() && text[at] == '.') {
        ++at;
        std::size_t begin = at;
        std::int64_t scale = 100'000'000;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            fraction += nanoseconds{(text[at] - '0') * scale};
            scale /= 10;
            ++at;
        }
        if (at == begin) {
            return std::nullopt;
        }
    }
    if (at >= text.size()) {
        return std::nullopt;
    }
    minutes offset{0};
    if (text[at] == 'Z' || text[at] == 'z') {
        ++at;
    } else if (text[at] == '+' || text[at] == '-') {
        int offsetHours = digits(text, at + 1, 2);
        int offsetMinutes = digits(text, at + 4, 2);
        if (offsetHours < 0 || offsetMinutes < 0 || text[at + 3] != ':' || offsetHours > 23 || offsetMinutes > 59) {
            return std::nullopt;
        }
        offset = hours{offsetHours} + minutes{offsetMinutes};
        if (text[at] == '-') {
            offset = -offset;
        }
        at += 6;
    } else {
        return std::nullopt;
    }
    if (at != text.size()) {
        return std::nullopt;
    }
    // Whole seconds cannot overflow for four-digit years, but the clock's nanosecond count only spans the
    // years 1677 to 2262: anything outside is no time this program can hold.
    sys_seconds utc = sys_days{date} + hours{hour} + minutes{minute} + seconds{second} - offset;
    constexpr sys_seconds earliest = ceil<seconds>(Timestamp::min());
    constexpr sys_seconds latest = floor<seconds>(Timestamp::max());
    if (utc < earliest || utc > latest) {
        return std::nullopt;
    }
    Timestamp whole = time_point_cast<system_clock::duration>(utc);
    if (whole > Timestamp::max() - fraction) {
        return std::nullopt;
    }
    return whole + fraction;
}

} // namespace PrintKit::Dates
