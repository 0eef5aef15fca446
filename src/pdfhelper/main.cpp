// planfolio-pdf-helper: the process that does the PDF service's text and
// rendering work, started by planfolio and planfolio-cli over a private
// socket. It is not meant to be run by hand.

#include "PdfHelper.h"

int main(int argc, char** argv)
{
    return PdfHelper::serve(argc, argv);
}
