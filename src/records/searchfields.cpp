#include "records/searchfields.h"

namespace lumo {

SubjectField saveSearchField(int sortField)
{
    switch (sortField) {
    case 1:
        return SubjectField::CUSTNO;
    case 2:
        return SubjectField::NAME;
    case 5:
        return SubjectField::TEL;
    default:
        return SubjectField::ADDR;
    }
}

SubjectField browserSearchField(int sortField)
{
    switch (sortField) {
    case 1:
        return SubjectField::CUSTNO;
    case 2:
        return SubjectField::NAME;
    case 5:
        return SubjectField::TEL;
    case 6:
        return SubjectField::ADDR;
    case 7:
        return SubjectField::EMAIL;
    case 8:
        return SubjectField::TEL2;
    default:
        return SubjectField::TEL3;
    }
}

} // namespace lumo
