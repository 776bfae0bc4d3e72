// Makes HMySelectionSet the selection set that HMyBaseView::Init creates. The view layer sits
// below the registry and cannot name it, so the registry installs its factory when the library
// is loaded (and hosts that link the modules one by one can call Install themselves).
#include "model/HMySelectionSet.h"

#include "view/HMyBaseView.h"

namespace {

HSelectionSet* MakeSelectionSet(HBaseViewEx* view) {
    return new HMySelectionSet(view);
}

const bool kInstalled = [] {
    HMySelectionSet::Install();
    return true;
}();

} // namespace

void HMySelectionSet::Install() {
    HMyBaseView::SetSelectionSetFactory(MakeSelectionSet);
}
