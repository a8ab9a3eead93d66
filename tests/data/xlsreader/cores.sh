#!/bin/sh
# A reader that answers with the number of cores it may run on, as its failure, once it
# has its workbook.
head -c 1 >/dev/null
printf 'scorelane-xls 2\nfail\t%s\n' "$(nproc)"
exit 1
