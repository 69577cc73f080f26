int bexal_placeholder_os = 0;
