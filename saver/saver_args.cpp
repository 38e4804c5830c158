#include "saver/saver_args.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

const char* SkipBlanks(const char* text) {
    while (IsBlank(*text)) {
        ++text;
    }
    return text;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// A decimal handle after an optional ':' or blanks; 0 when there is none or it overflows.
uint64_t ReadHandle(const char* text) {
    text = SkipBlanks(text);
    if (*text == ':') {
        text = SkipBlanks(text + 1);
    }
    uint64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        const uint64_t digit = uint64_t(*text - '0');
        if (value > (UINT64_MAX - digit) / 10) {
            return 0;
        }
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

const char* SkipProgramName(const char* commandLine) {
    const char* at = SkipBlanks(commandLine);
    if (*at == '"') {
        ++at;
        while (*at != '\0' && *at != '"') {
            ++at;
        }
        if (*at == '"') {
            ++at;
        }
    } else {
        while (*at != '\0' && !IsBlank(*at)) {
            ++at;
        }
    }
    return SkipBlanks(at);
}

SaverArgs ParseSaverArgs(const char* arguments) {
    const char* at = SkipBlanks(arguments);
    if (*at != '/' && *at != '-') {
        return {SaverMode::kConfigure, 0};
    }
    const char letter = Lower(at[1]);
    const char* rest = letter == '\0' ? at + 1 : at + 2;
    switch (letter) {
        case 's':
            return {SaverMode::kScreen, 0};
        case 'p': {
            const uint64_t window = ReadHandle(rest);
            return {window != 0 ? SaverMode::kPreview : SaverMode::kNone, window};
        }
        case 'a':
            return {SaverMode::kNone, 0};
        case 'c':
            return {SaverMode::kConfigure, ReadHandle(rest)};
        default:
            return {SaverMode::kConfigure, 0};
    }
}

bool MovedFarEnough(int fromX, int fromY, int toX, int toY) {
    const int64_t dx = int64_t(toX) - fromX;
    const int64_t dy = int64_t(toY) - fromY;
    return dx > kMouseSlack || dx < -kMouseSlack || dy > kMouseSlack || dy < -kMouseSlack;
}
