#pragma once
// Which field search-as-you-type searches for each sort field (1-9, the order
// of the combo box 資料查詢方式). The save screen and the comparison's record
// picker search the number, the name or the telephone, and the address for
// every other field; the record browser also searches address, e-mail and
// mobile number, and the fax number for the rest.

#include "records/subjects.h"

namespace lumo {

SubjectField saveSearchField(int sortField);
SubjectField browserSearchField(int sortField);

} // namespace lumo
