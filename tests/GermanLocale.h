// Switches the whole process to a German locale (decimal comma) for the length of a scope, the way the
// application's toolkit does at start-up; whatever the engine writes must not change under it.
#pragma once

#include <clocale>
#include <string>

class GermanLocale {
public:
    GermanLocale() {
        const char* current = std::setlocale(LC_ALL, nullptr);
        saved_ = current ? current : "C";
        active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    ~GermanLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;
    bool active() const { return active_; }

private:
    std::string saved_;
    bool active_ = false;
};
