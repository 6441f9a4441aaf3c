#ifndef HELM_BPRIORITY_H
#define HELM_BPRIORITY_H

// Queue priorities; 0 is served first.
enum BPriority {
    PRIO_TIMECRITICAL = 0,
    PRIO_1 = 1,
    PRIO_2 = 2,
    PRIO_3 = 3,
    PRIO_4 = 4,
    PRIO_5 = 5,
    PRIO_6 = 6,
    PRIO_7 = 7,
    PRIO_BACKGROUND = 8
};

const int NR_OF_PRIORITIES = 9;

#endif
