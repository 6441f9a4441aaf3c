# Connection driver: the serial port (Data) and the driver component (States).
korprog_library(conndrv DIRS korprog/conndrv/Data korprog/conndrv/States)
korprog_link(conndrv kpcommon helm bdebug llist)
list(APPEND KORPROG_TEST_LIBS conndrv)
