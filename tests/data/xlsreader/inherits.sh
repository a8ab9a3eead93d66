#!/bin/sh
# A reader that ends with code 4 when it holds the descriptor SCORELANE_TEST_FD, and
# otherwise answers an empty sheet.
[ -e "/proc/$$/fd/$SCORELANE_TEST_FD" ] && exit 4
printf 'scorelane-xls 2\nend\t0\n'
