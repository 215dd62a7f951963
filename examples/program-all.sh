#!/bin/sh
# Kept for the scripts that call it: tarnel-cli --all programs every usable adapter at once.
exec "${TARNEL_CLI:-tarnel-cli}" --all "$@"
