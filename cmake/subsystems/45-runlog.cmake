# The record of an unattended run: JSON Lines events, the per-unit report
# and the SHA-256 digests it names its inputs by. It needs nothing of the
# program, only the runtime's clock.
korprog_library(runlog DIRS korprog/runlog)
korprog_link(runlog helm)
# The dialogs without a display tell their answers where the run's status
# lines go.
korprog_link(kpcommon runlog)
list(APPEND KORPROG_TEST_LIBS runlog)
