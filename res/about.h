/* Control identifiers of the About box INFOS2; read by the resource
   compiler and by the viewer. */
#pragma once

#define IDC_ABOUT_LOGO 101      /* the logo, bitmap ZELM */
#define IDC_ABOUT_NAME 102      /* product name */
#define IDC_ABOUT_VERSION 103   /* "Version: " and the version */
#define IDC_ABOUT_COPYRIGHT 104 /* copyright notice */
#define IDC_ABOUT_CLOSE 201     /* "&Close" */
