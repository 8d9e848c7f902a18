// replaced by the softwares page
