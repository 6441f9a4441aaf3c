#ifndef KORPROG_PROGCTRL_DATA_KORTYPENAMES_H
#define KORPROG_PROGCTRL_DATA_KORTYPENAMES_H

// Translation from the custom type names a unit may be sold under to the
// maker's standard type codes. The configuration (ConfigInit) implements it
// and registers itself on the setting bin.
class KorTypeNames {
public:
    virtual ~KorTypeNames() = default;
    // The standard code of a custom name; "" when the name is unknown.
    virtual const char* ombrixKorType(const char* custom) = 0;
};

#endif
