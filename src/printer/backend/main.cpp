#include "printer/backend/Backend.h"

int main(int argc, char* argv[])
{
    return quillary::printer::runBackend(argc, argv);
}
