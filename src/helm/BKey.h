#ifndef HELM_BKEY_H
#define HELM_BKEY_H

#include <cstdint>

// Optional key that selects among bindings to components with the same ids.
class BKey {
public:
    virtual ~BKey() = default;
    virtual bool matches(BKey* other) = 0;
    virtual void printData(uint16_t level) = 0;

    // A send without key matches every binding; with a key, only a binding
    // whose own key matches it.
    static bool keyMatches(BKey* bindingKey, BKey* given) { return !given || (bindingKey && bindingKey->matches(given)); }
};

#endif
