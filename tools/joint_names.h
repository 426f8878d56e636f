/* The names of the squirrel's thirteen joints by joint number (left and
   right are the squirrel's own sides), for the joint trace's CSV header and
   the browser page. Plain C and C++; no name holds a comma. */
#ifndef JOINT_NAMES_H
#define JOINT_NAMES_H

static const char* const jointNames[13] = {
    "tail bend",
    "tail tip",
    "front legs' heading",
    "left shoulder",
    "right shoulder",
    "left elbow",
    "right elbow",
    "hind legs' splay",
    "left hip",
    "right hip",
    "left knee",
    "right knee",
    "tail swing",
};

#endif
