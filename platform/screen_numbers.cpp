// Numbers as the text cursor prints them, and into a picture such as "##.#".
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/screen.h"

namespace screen {
namespace {

// Trailing zeros and a lone point are dropped, as the text cursor prints them;
// so is the zero before the point.
std::string trimmedDecimal(std::string text) {
    const size_t exponent = text.find_first_of("eE");
    std::string tail;
    if (exponent != std::string::npos) {
        tail = text.substr(exponent);
        text.resize(exponent);
    }
    if (text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0')
            text.pop_back();
        if (!text.empty() && text.back() == '.') text.pop_back();
    }
    if (text.rfind("0.", 0) == 0) text.erase(0, 1);
    for (char& c : tail)
        c = static_cast<char>(c == 'e' ? 'E' : c);
    return text + tail;
}

} // namespace

std::string numberText(double value) {
    if (value == 0) value = 0; // no "-0"
    const char* sign = value < 0 ? "-" : " ";
    const double magnitude = std::fabs(value);
    char digits[64];
    if (magnitude == std::floor(magnitude) && magnitude < 1e15)
        std::snprintf(digits, sizeof digits, "%.0f", magnitude);
    else
        std::snprintf(digits, sizeof digits, "%.7G", magnitude);
    std::string text = sign;
    text += std::isfinite(magnitude) ? trimmedDecimal(digits) : digits;
    return text + ' ';
}

std::string pictureText(std::string_view picture, double value) {
    // The field is the run of '#' (with at most one '.'); text around it is copied.
    const size_t start = picture.find_first_of("#.");
    if (start == std::string_view::npos) return std::string(picture);
    size_t end = start;
    int before = 0, after = 0;
    bool point = false;
    for (; end < picture.size(); ++end) {
        if (picture[end] == '#')
            ++(point ? after : before);
        else if (picture[end] == '.' && !point)
            point = true;
        else
            break;
    }
    const int width = before + (point ? 1 + after : 0);

    char digits[400];
    if (point) {
        std::snprintf(digits, sizeof digits, "%.*f", after, value);
        // The digit before the point may be left out when there is no room.
        if (before == 0 && (digits[0] == '0' || (digits[0] == '-' && digits[1] == '0'))) {
            std::string text = digits;
            text.erase(text[0] == '-' ? 1 : 0, 1);
            std::snprintf(digits, sizeof digits, "%s", text.c_str());
        }
    } else {
        double rounded = std::nearbyint(value); // halves to even
        if (rounded == 0) rounded = 0;
        std::snprintf(digits, sizeof digits, "%.0f", rounded);
    }
    std::string field = digits;
    if (static_cast<int>(field.size()) > width)
        field = "%" + field;
    else
        field.insert(0, size_t(width) - field.size(), ' ');
    return std::string(picture.substr(0, start)) + field + std::string(picture.substr(end));
}

} // namespace screen
