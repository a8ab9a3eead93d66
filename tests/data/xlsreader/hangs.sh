#!/bin/sh
# A reader that never answers.
exec sleep 60
