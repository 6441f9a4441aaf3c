#ifndef BDEBUG_BDOWNCAST_H
#define BDEBUG_BDOWNCAST_H

// Verifying down-cast for event handlers: the caller converts with a
// run-time type check first; a null result is reported here and handed back,
// and the handler then leaves the event alone and answers false.
//
//   const KvprotAckEvt* ack = B_CHECKCAST(KvprotAckEvt, event);
//   if (!ack) return false;

class BDownCast {
public:
    // "file line\nDowncast failed: cannot cast <src> to type <type>\n" to the debug stream.
    static void report(const char* file, int line, const char* typeName, const char* srcName);
};

template <class T>
T* checkcast(T* ptr, const char* file, int line, const char* typeName, const char* srcName)
{
    if (!ptr) BDownCast::report(file, line, typeName, srcName);
    return ptr;
}

#define B_CHECKCAST(Type, expr) \
    checkcast(dynamic_cast<const Type*>(expr), __FILE__, __LINE__, #Type, #expr)

#endif
