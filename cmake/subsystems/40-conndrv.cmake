# Connection driver: the serial port (Data), the driver component (States)
# and its events.
korprog_library(conndrv DIRS korprog/conndrv korprog/conndrv/Data korprog/conndrv/States)
korprog_link(conndrv kpcommon helm bdebug llist)
list(APPEND KORPROG_TEST_LIBS conndrv)
