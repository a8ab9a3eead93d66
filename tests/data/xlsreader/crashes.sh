#!/bin/sh
# A reader that dies of a signal.
kill -SEGV $$
