#include "errors.h"

#include "trace.h"

namespace Vantrix {
namespace {

struct KindRow {
    const char* name;
    const char* text;
};

const KindRow kKinds[] = {
    {"eetSuccess", "All is well; the world is a good place."},
    {"eetCatastrophicFailure", "Something awful happened."},
    {"eetArgumentFailure", "Bad arguments."},
    {"eetDataFailure", "The data (somewhere) is invalid."},
    {"eetRangeFailure", "Something is out of range."},
    {"eetFindFailure", "An attempt to find something failed."},
    {"eetCreateFailure", "An attempt to create something failed."},
    {"eetDestroyFailure", "An attempt to destroy something failed."},
    {"eetOpenFailure", "An attempt to open something failed."},
    {"eetCloseFailure", "An attempt to close something failed."},
    {"eetWriteFailure", "An attempt to write something failed."},
    {"eetReadFailure", "An attempt to read something failed."},
    {"eetAcquireFailure", "An attempt to acquire something failed."},
    {"eetReleaseFailure", "An attempt to release something failed."},
    {"eetInsertFailure", "An attempt to insert (or append) something failed."},
    {"eetWrongState", "A state machine (somewhere) is in the wrong state."},
};

const KindRow* Find(int32_t kind) {
    if (kind < 0 || kind >= int32_t(sizeof kKinds / sizeof kKinds[0])) return nullptr;
    return &kKinds[kind];
}

} // namespace

const char* NameOf(int32_t kind) {
    const KindRow* row = Find(kind);
    return row ? row->name : nullptr;
}

const char* TextOf(int32_t kind) {
    const KindRow* row = Find(kind);
    return row ? row->text : nullptr;
}

EErrorType TraceCaught(EErrorType kind) {
    const char* name = NameOf(kind);
    const char* text = TextOf(kind);
    Trace("Caught an exception (%s): %s\n", name ? name : "?", text ? text : "?");
    return kind;
}

} // namespace Vantrix
