# The record of an unattended run: JSON Lines events, the per-unit report
# and the SHA-256 digests it names its inputs by. A leaf: it needs nothing
# of the program.
korprog_library(runlog DIRS korprog/runlog)
# The dialogs without a display tell their answers where the run's status
# lines go.
korprog_link(kpcommon runlog)
list(APPEND KORPROG_TEST_LIBS runlog)
