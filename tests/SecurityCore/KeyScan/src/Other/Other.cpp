// A module that never calls the demo texts: its dotted names are its own business.
const char* setting = "demo.error.setting";
