/* The maker's values, shared by the resource script and the code. Whoever ships a build
   sets their own here. Plain #defines so that windres can read them too. */
#ifndef BRIGHTFADE_MAKER_H
#define BRIGHTFADE_MAKER_H

/* Web domain: the Filter submenu (category), CompanyName, the start of ProductName and the
   about box's link text. */
#define BRIGHTFADE_MAKER_DOMAIN "brightfade.example"

/* Name and years, shown in the about box and in the version block. */
#define BRIGHTFADE_MAKER_NOTICE "Copyright (C) 2026 The Brightfade authors"

/* Identifies the plug-in to the host's scripting ('hstm' property). */
#define BRIGHTFADE_UNIQUE_ID "f2c5a67e-76d0-4573-bcd7-91876112f2fa"

#endif
