int bexal_placeholder_core = 0;
